#include "SystemSeams.h"

#include <QApplication>

void SystemBeeper::beep() {
    QApplication::beep();
}
