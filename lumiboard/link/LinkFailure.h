#pragma once

#include <QString>

#include "PanelLink.h"

// Second line of a failure's dialog when the panel is there but this user
// may not open it (errno EACCES): replugging never helps, the udev rule does.
inline constexpr char16_t kNoAccessLine[] =
    u"Accès au panneau refusé : installez la règle udev 70-lumiboard-panel.rules "
    u"(voir le README, Dépannage).";

// The dialog text of a failed exchange: the operation's own text, then the
// reason when the link kept one worth a line of its own.
QString failureText(const PanelLink& link, const char16_t* text);
// The same for a kept errno.
QString failureText(int error, const char16_t* text);
