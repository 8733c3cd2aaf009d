#pragma once
// The busy window: a borderless picture saying 解析中 that the analysis puts
// over the main window while the database works, and takes down afterwards.
// It has no caption bar, no task bar entry, nothing that reacts to input and
// no opening or closing animation.
//
// Use:
//     m_busy = frmSearch::Load(this);   // centred over `this`, painted
//     ... blocking database calls ...
//     frmSearch::Unload(m_busy);        // gone; safe when already empty

#include <QPixmap>
#include <QWidget>
#include <memory>

class QLabel;

class frmSearch : public QWidget {
    Q_OBJECT
public:
    // Builds the window (not yet shown) for the main window `main`.
    explicit frmSearch(QWidget* main);
    ~frmSearch() override;

    // Creates the busy window, runs its Form_Load (centre over `main`,
    // process pending events, show, process pending events once more) and
    // returns it. Never throws.
    static std::unique_ptr<frmSearch> Load(QWidget* main);
    // Hides and destroys the busy window held in `busy`; does nothing when
    // `busy` is empty. Never throws.
    static void Unload(std::unique_ptr<frmSearch>& busy);

    // Centres over the main window, paints, shows and paints again.
    void Form_Load();

    // The busy picture, 200 x 32 pixels: 解析中 followed by dots, red on an
    // orange-to-yellow gradient.
    static QPixmap busyPicture();

    QLabel* Picture1 = nullptr;

private:
    QWidget* m_main = nullptr;
};
