#pragma once

#include <functional>
#include <string_view>

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "Beeper.h"
#include "Clock.h"
#include "Dialogs.h"
#include "Session.h"
#include "USB2Lib.h"
#include "WindowMessages.h"

class AltKeyRouter;
class PictureButton;
class MenuAccelerators;

// What the window reaches outside the program through; main() gives the real
// ones, tests their fakes.
struct TmodulSeams {
    Dialogs& dialogs;
    const Clock& clock;
    Beeper& beeper;
    // Binds the USB library (FormCreate).
    std::function<LibraryLoad()> loadUsbLibrary;
    // Folder of the LED pictures; empty for the working folder.
    QString imageDir;
    // The program's own folder, whose data folder holds the pictures once installed.
    QString programDir;
    // The panel's lock file, shared with the other programs (panelLockPath());
    // empty: none.
    QString panelLockFile = {};
    // Where the whole text of each send is recorded (panelMemoryPath()); empty: nowhere.
    QString panelMemoryFile = {};
};

// The main window: builds the controls (TmodulLayout.cpp) and, in its handlers
// (Transfert.cpp), reads them, calls the session and writes the outcome back.
class Tmodul final : public QMainWindow {
    Q_OBJECT
public:
    explicit Tmodul(TmodulSeams seams, QWidget* parent = nullptr);
    ~Tmodul() override;

    // Binds the USB library; false ends the program before the window shows.
    bool FormCreate();

    // Controls, in the order of the original form.
    PictureButton* envcBtn;
    PictureButton* BitBtn1;
    QLineEdit* texttxt;
    QLabel* Label1;
    QMenuBar* MainMenu1;
    QMenu* lire1;
    QMenu* texte1;
    QMenu* Vitesse11;
    QAction* Inversevido1;
    QAction* Heure1;
    QAction* Date1;
    QAction* emprature1;
    QAction* Fontemini1;
    QAction* Fontemaxi1;
    QAction* Quitter1;
    QMenu* Envoyer1;
    QFrame* Bevel1;
    QTimer* Timer1;
    QAction* m_sendtxt;
    QAction* m_sendheur;
    QAction* m_liretexte;
    QAction* m_lireheure;
    QLabel* timelbl;
    QAction* Beep1;
    QMenu* Alarme1;
    QAction* m_alarm;
    QAction* v0menu;
    QAction* v1menu;
    QAction* v2menu;
    QAction* v3menu;
    QAction* v4menu;
    QLineEdit* hrtxt;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* datetxt;
    QLineEdit* revtxt;
    QCheckBox* revchk;

    // Program-wide state, readable by tests.
    const Session& session() const { return session_; }
    const PanelClock& panelClock() const { return session_.panel().panelClock(); }
    const Preview& preview() const { return session_.preview(); }
    const QImage& ledCanvas() const { return canvas_; }
    bool formShown() const { return formShown_; }

    // The filter that sends Alt+key to the window's buttons; the program
    // installs it application-wide (routeAltKeys).
    AltKeyRouter* altKeyRouter() const { return altKeys_; }

public slots:
    void FormShow();
    void envcBtnClick();
    void BitBtn1Click();
    void m_sendtxtClick();
    void m_liretexteClick();
    void m_lireheureClick();
    void m_sendheurClick();
    void m_alarmClick();
    void revchkClick();
    void texttxtChange();
    void Timer1Timer();
    void Quitter1Click();
    void insertCode(std::string_view itemName);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void buildControls(QWidget* surface);
    void buildMenus();
    void setPanelControlsEnabled(bool enabled);
    void showAlarmMenu();

    std::function<LibraryLoad()> loadUsbLibrary_;
    WindowMessages messages_;
    Session session_;
    QImage canvas_;
    MenuAccelerators* accelerators_;
    AltKeyRouter* altKeys_ = nullptr;
    bool showScheduled_ = false;
    bool formShown_ = false;
};
