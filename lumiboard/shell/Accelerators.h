#pragma once

#include <QList>
#include <QString>

// Keyboard accelerators of one menu level, the way the menus of the panel's
// original program placed them: marked keys are kept (unless an earlier item
// took the key first), then every unmarked item gets the first free key of
// its caption.
struct MenuCaption {
    QString text;
    bool visible = true;
};

// Returns the captions of one level with their "&" marks; hidden items,
// empty captions and "-" come back unchanged.
QList<QString> assignAccelerators(const QList<MenuCaption>& level);

// The key an "&" in the caption marks (upper case), or a null QChar.
QChar markedKey(const QString& caption);
