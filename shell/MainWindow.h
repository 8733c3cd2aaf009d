#pragma once
// The main window: the SQL source pane, the plan pane, the title strip, the
// splitter, three buttons, the status bar and the menu bar. Every user
// action starts from one of its buttons or menu entries; each entry calls
// one handler, named after its control and event.
//
// The handlers are spread over three files by subject: MainWindow.cpp (the
// window, its layout and its own commands), MainWindowDatabase.cpp (connect,
// disconnect, the plan table and the analysis), MainWindowTools.cpp (the
// text tools and the schema browser).

#include "Layout.h"
#include "PlanTable.h"

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QWidget;
class LineControl;
class RichTextBox;
class frmSearch;

class frmEXPLAIN : public QMainWindow {
    Q_OBJECT
public:
    explicit frmEXPLAIN(QWidget* parent = nullptr);
    ~frmEXPLAIN() override;

    // The start-up sequence: centre, zoom open, show, connect, then set the
    // statement identifier. Returns when all of it has finished.
    void Form_Load();

    // ---- State shared with the other windows (16-bit booleans: True = -1)
    qint16 Connected = 0;
    PlanTable::State PlanTableState = PlanTable::FoundAtConnect;
    QString StatementId;
    bool SplitterDragging = false;

    // ---- Controls
    RichTextBox* txtSQL = nullptr;
    RichTextBox* txtResults = nullptr;
    RichTextBox* RichTextBox1 = nullptr;  // hidden snapshot of the plan pane
    QPushButton* cmdEXPAIN = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdCr = nullptr;
    QWidget* picTitles = nullptr;
    QLabel* lblTitle[2] = {nullptr, nullptr};
    LineControl* Line1 = nullptr;  // etched rule at the top of the title strip
    LineControl* Line2 = nullptr;
    QWidget* imgSplitter = nullptr;
    QWidget* picSplitter = nullptr;
    QLabel* Label1 = nullptr;
    QStatusBar* sbStatusBar = nullptr;

    // Status bar panels, counted from 1.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    QLabel* panel(int panel) const;

    // ---- Menus
    QMenu* mnuL = nullptr;
    QAction* mnuDBLogIn = nullptr;
    QAction* mnuCut = nullptr;
    QAction* mnuEn = nullptr;
    QMenu* mnuE = nullptr;
    QMenu* mnuPE = nullptr;
    QAction* mnuPCreate = nullptr;
    QAction* mnuPDrop = nullptr;
    QAction* mnuPractice = nullptr;
    QAction* mnuCBSI = nullptr;
    QAction* mnuCBSC = nullptr;
    QAction* mnuCBPC = nullptr;
    QAction* mnuCr = nullptr;
    QMenu* ken = nullptr;
    QAction* mnuStrken = nullptr;
    QAction* mnuStrkenD = nullptr;
    QAction* mnuMainkey = nullptr;
    QMenu* mnuH = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuVer = nullptr;

    // ---- Layout (MainWindow.cpp)
    void SizeControls(float x);
    // The geometry of the moving controls in twips, as the last layout left it.
    const shell::MainLayout& layoutTwips() const { return m_layout; }
    // The drag bar's rectangle in twips.
    const shell::TwipsRect& dragBarTwips() const { return m_dragBar; }
    // The sizes the layout works with, read from the window now.
    shell::WindowSizes windowSizes() const;

    // ---- The window's own commands (MainWindow.cpp)
    void cmdCr_Click();
    void mnuCr_Click();
    void Command1_Click();
    void mnuEn_Click();
    void mnuVer_Click();

    // ---- Connection, plan table and analysis (MainWindowDatabase.cpp)
    void mnuDBLogIn_Click();
    void mnuCut_Click();
    void mnuPCreate_Click();
    void mnuPDrop_Click();
    void cmdEXPAIN_Click();
    void mnuPractice_Click();
    qint32 PlanTblCheck();
    bool PlanTblCreate();  // true when the table is there afterwards
    void PlanTblDrop();
    void PlanTblDeleteRows();
    void PlanTblCleanup(const QString& secondLine);
    QString getMyIPAddress();

    // ---- Text tools and schema browser (MainWindowTools.cpp)
    void mnuStrken_Click();
    void mnuStrkenD_Click();
    void mnuMainkey_Click();
    void mnuCBSI_Click();
    void mnuCBSC_Click();
    void mnuCBPC_Click();

signals:
    // The closing sequence has started (once per close of the window).
    void queryUnload();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Resize();
    void Form_QueryUnload();
    void imgSplitter_MouseDown();
    void imgSplitter_MouseMove(double xTwips);
    void imgSplitter_MouseUp();

    void createControls();
    void createTitles();
    void createPanes();
    void createButtons();
    void createHiddenControls();
    void createMenus();
    void createStatusBar();
    void applyLayout();
    void updateMinimumSize();
    void bind(QAction* action, void (frmEXPLAIN::*handler)(), const char* name);
    void bind(QPushButton* button, void (frmEXPLAIN::*handler)(), const char* name);

    QWidget* m_client = nullptr;  // the client area below the menu bar, above the status bar
    QLabel* m_panels[4] = {};
    QAction* m_separators[6] = {};  // a, f, e, c, b, g
    shell::MainLayout m_layout;
    shell::TwipsRect m_dragBar;
    QSize m_laidOutFrame;         // the outer size the last layout worked with
    bool m_closeRunning = false;  // the closing sequence is under way
    bool m_closeDone = false;     // it has run for the current close

    // ---- Members of the connection, plan table and analysis commands
    std::unique_ptr<frmSearch> m_busy;  // the busy window during an analysis

    // ---- Members of the text tools and the schema browser
};
