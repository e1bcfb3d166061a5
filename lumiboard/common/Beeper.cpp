#include "Beeper.h"

#include <QApplication>

void SystemBeeper::beep() {
    QApplication::beep();
}
