#pragma once

#include <functional>
#include <optional>

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
#include "PanelClock.h"
#include "PanelLink.h"
#include "Preview.h"
#include "UsbApi.h"

class PictureButton;
class MenuAccelerators;

// What the window reaches outside the program through. Tests replace each.
struct TmodulSeams {
    Dialogs& dialogs;
    const Clock& clock;
    Beeper& beeper;
    // Binds the USB library into the api; false when it could not (the
    // binding has shown its message).
    std::function<bool(UsbApi&, Dialogs&)> loadUsbLibrary;
    // Folder of the LED pictures; empty for the working directory.
    QString imageDir;
};

// The main window, and the owner of the program-wide state: the library
// binding, the panel link with its pipes and reports, the panel clock record
// and the preview.
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
    const PanelClock& panelClock() const { return clock_; }
    const Preview& preview() const { return preview_; }
    const QImage& ledCanvas() const { return canvas_; }
    bool formShown() const { return formShown_; }

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
    void Inversevido1Click();
    void Heure1Click();
    void Date1Click();
    void emprature1Click();
    void Fontemini1Click();
    void Fontemaxi1Click();
    void v0menuClick();
    void v1menuClick();
    void v2menuClick();
    void v3menuClick();
    void v4menuClick();
    void Beep1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormClose();
    void buildControls(QWidget* surface);
    void buildMenus();
    void wireEvents();
    void nameControls();
    void insertCode(const char* codeText);
    void setPanelControlsEnabled(bool enabled);
    bool routeAltKeyToButton(int key);

    TmodulSeams seams_;
    std::optional<PanelLink> link_;  // exists once the library is bound
    PanelClock clock_;
    Preview preview_;
    QImage canvas_;
    MenuAccelerators* accelerators_;
    bool showScheduled_ = false;
    bool formShown_ = false;
};
