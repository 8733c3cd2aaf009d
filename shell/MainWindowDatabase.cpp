// Connection, plan table and analysis commands of the main window.
#include "MainWindow.h"

#include "BusyWindow.h"
#include "ColorRichSearch.h"
#include "ConnectCommands.h"
#include "ExplainRunner.h"
#include "FailureText.h"
#include "HostAddress.h"
#include "LogonDialog.h"
#include "LogonState.h"
#include "MsgBox.h"
#include "PlanTable.h"
#include "RichTextBox.h"

#include <QAction>
#include <QCoreApplication>
#include <memory>

namespace {

oraobj::OraDatabase& openDatabase() {
    if (!basEXPLAIN::OraDB)
        throw oraobj::OraError(QStringLiteral("データベースに接続されていません。"));
    return *basEXPLAIN::OraDB;
}

void reportSqlError(const QString& failure) {
    platform::MsgBox(failure, platform::vbCritical, QStringLiteral("SQLｴﾗｰ"));
}

// Runs `work` and reports whatever it raises in one "SQLｴﾗｰ" box.
template <typename F>
bool guarded(F&& work) {
    try {
        work();
        return true;
    } catch (...) {
        reportSqlError(oraobj::failureText(std::current_exception()));
    }
    return false;
}

// What the plan table operations see of the main window.
class PlanOwner : public PlanTable::Owner {
public:
    explicit PlanOwner(frmEXPLAIN& w) : m_w(w) {}
    oraobj::OraDatabase& database() override { return openDatabase(); }
    QString statementId() const override { return m_w.StatementId; }
    PlanTable::State planTableState() const override { return m_w.PlanTableState; }
    void setPlanTableState(PlanTable::State state) override { m_w.PlanTableState = state; }
    void setPlanTablePanel(const QString& text) override { m_w.setPanelText(2, text); }
    void dropCommand() override { m_w.mnuPDrop_Click(); }
    bool ask(const QString& prompt) override {
        return platform::MsgBox(prompt, platform::vbYesNo | platform::vbQuestion,
                                PlanTable::kTitle) == platform::vbYes;
    }
    void tell(const QString& notice) override {
        platform::MsgBox(notice, platform::vbInformation, PlanTable::kTitle);
    }

private:
    frmEXPLAIN& m_w;
};

// What the connect and disconnect commands see of the main window.
class ConnectWindow : public ConnectCommands::Window {
public:
    explicit ConnectWindow(frmEXPLAIN& w) : m_w(w) {}

    void runLogonDialog() override {
        // A fresh dialog every time, so that its fields start empty.
        auto dialog = std::make_unique<fdlgOraLogon>(&m_w);
        dialog->exec();
    }
    void setMenusConnected(bool connected) override {
        m_w.mnuDBLogIn->setEnabled(!connected);
        m_w.mnuCut->setEnabled(connected);
        m_w.mnuPCreate->setEnabled(connected);
        m_w.mnuPDrop->setEnabled(connected);
    }
    void setConnected(qint16 connected) override { m_w.Connected = connected; }
    void setPanel(int panel, const QString& text) override { m_w.setPanelText(panel, text); }
    qint32 checkPlanTable() override { return m_w.PlanTblCheck(); }
    void setPlanTableState(PlanTable::State state) override { m_w.PlanTableState = state; }
    void showPlanTable(bool present) override {
        m_w.setPanelText(2, present ? PlanTable::kPanelPresent : PlanTable::kPanelAbsent);
    }
    bool askCreatePlanTable() override {
        return platform::MsgBox(PlanTable::twoLines(PlanTable::kMissingAtConnect1,
                                                    PlanTable::kMissingAtConnect2),
                                platform::vbYesNo | platform::vbQuestion,
                                PlanTable::kTitle) == platform::vbYes;
    }
    bool createPlanTable() override {
        // The create command, deciding from what it found, not from a
        // caption: a table another session made meanwhile counts as there.
        bool present = false;
        guarded([&] { present = m_w.PlanTblCreate(); });
        return present;
    }
    void tidyPlanTable() override { m_w.PlanTblCleanup(PlanTable::kNotDroppedAtDisconnect); }
    void reportSqlError(const QString& failure) override { ::reportSqlError(failure); }
    void reportCloseFailed() override {
        platform::MsgBox(ConnectCommands::kCloseFailed, platform::vbInformation,
                         platform::appTitle());
    }

private:
    frmEXPLAIN& m_w;
};

}  // namespace

// ---- Connect and disconnect

void frmEXPLAIN::mnuDBLogIn_Click() {
    ConnectWindow w(*this);
    guarded([&] { ConnectCommands::connect(w); });
}

void frmEXPLAIN::mnuCut_Click() {
    ConnectWindow w(*this);
    guarded([&] { ConnectCommands::disconnect(w); });
}

// ---- The plan table

void frmEXPLAIN::mnuPCreate_Click() {
    guarded([&] { PlanTblCreate(); });
}

void frmEXPLAIN::mnuPDrop_Click() {
    guarded([&] { PlanTblDrop(); });
}

qint32 frmEXPLAIN::PlanTblCheck() {
    return PlanTable::check(openDatabase());
}

bool frmEXPLAIN::PlanTblCreate() {
    PlanOwner owner(*this);
    return PlanTable::create(owner);
}

void frmEXPLAIN::PlanTblDrop() {
    PlanOwner owner(*this);
    PlanTable::drop(owner);
}

void frmEXPLAIN::PlanTblDeleteRows() {
    PlanOwner owner(*this);
    PlanTable::deleteRows(owner);
}

void frmEXPLAIN::PlanTblCleanup(const QString& secondLine) {
    // Used on the way out (disconnect, close): a failure is reported and
    // the way out goes on.
    PlanOwner owner(*this);
    guarded([&] { PlanTable::cleanup(owner, secondLine); });
}

// ---- The analysis

void frmEXPLAIN::mnuPractice_Click() {
    cmdEXPAIN_Click();
}

void frmEXPLAIN::cmdEXPAIN_Click() {
    if (!basEXPLAIN::OraDB) {
        // Not connected: only the logon; the user runs the analysis again.
        if (guarded([&] { mnuDBLogIn_Click(); }))
            return;
        // A failure escaping the connect takes the finishing steps too.
    } else {
        guarded([&] {
            if (!m_busy)
                m_busy = frmSearch::Load(this);
            setPanelText(3, QStringLiteral("解析中･･･"));
            // Paint the busy window and the panel before the server blocks;
            // input waits, so no second analysis starts inside this one.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

            const ExplainRunner::Outcome outcome =
                ExplainRunner::analyse(openDatabase(), StatementId, txtSQL->Text());
            if (outcome.failure) {
                reportSqlError(*outcome.failure);
                return;
            }
            txtResults->setText(outcome.planText);
            ColorRichSearch::ColorAllMatches(*txtResults, QStringLiteral("FULL"),
                                             QString::number(255), 0);
            RichTextBox1->setTextRTF(txtResults->TextRTF());
        });
    }
    // Finishing steps, each on its own: nothing here is reported.
    try {
        frmSearch::Unload(m_busy);
    } catch (...) {
    }
    try {
        setPanelText(3, QString());
    } catch (...) {
    }
}

// ---- The statement identifier

QString frmEXPLAIN::getMyIPAddress() {
    return basGetIP::getMyIPAddress();
}
