#include "Accelerators.h"

#include <QSet>

namespace {

const QString kCandidates = QStringLiteral("1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ");

// Only a to z change case; accented letters stay as they are.
QChar upper(QChar c) {
    return (c >= u'a' && c <= u'z') ? QChar(c.unicode() - u'a' + u'A') : c;
}

bool takesPart(const MenuCaption& item) {
    return item.visible && !item.text.isEmpty() && item.text != u"-";
}

// Index of the character an "&" marks, or -1. "&&" is a literal ampersand.
qsizetype markIndex(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (caption[i + 1] == u'&') {
                ++i;
                continue;
            }
            return i + 1;
        }
    }
    return -1;
}

QString stripMarks(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) {
            if (caption[i + 1] == u'&') {
                out.append(u"&&");
                ++i;
            }
            continue;
        }
        out.append(caption[i]);
    }
    return out;
}

// Position in front of which "&" goes for the first free candidate, or -1.
qsizetype freeKeyIndex(const QString& caption, const QSet<QChar>& taken) {
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size() && caption[i + 1] == u'&') {
            ++i;  // a literal ampersand is never a key
            continue;
        }
        const QChar key = upper(caption[i]);
        if (kCandidates.contains(key) && !taken.contains(key)) {
            return i;
        }
    }
    return -1;
}

struct Attempt {
    QList<qsizetype> order;     // indices of unmarked items, in the order tried
    QList<qsizetype> placedAt;  // per item: insertion index, or -1
    qsizetype placed = 0;
};

Attempt place(const QList<QString>& captions, const QList<qsizetype>& order, QSet<QChar> taken) {
    Attempt a;
    a.order = order;
    a.placedAt.fill(-1, captions.size());
    for (const qsizetype item : order) {
        const qsizetype at = freeKeyIndex(captions[item], taken);
        if (at >= 0) {
            taken.insert(upper(captions[item][at]));
            a.placedAt[item] = at;
            ++a.placed;
        }
    }
    return a;
}

}  // namespace

QChar markedKey(const QString& caption) {
    const qsizetype at = markIndex(caption);
    return at < 0 ? QChar() : upper(caption[at]);
}

QList<QString> assignAccelerators(const QList<MenuCaption>& level) {
    QList<QString> captions;
    for (const auto& item : level) {
        captions.append(item.text);
    }

    QSet<QChar> taken;
    QList<qsizetype> unmarked;
    for (qsizetype i = 0; i < level.size(); ++i) {
        if (!takesPart(level[i])) {
            continue;
        }
        // Keyed on the mark, not on its key: a mark on U+0000 is still a mark.
        const qsizetype at = markIndex(captions[i]);
        const QChar key = at < 0 ? QChar() : upper(captions[i][at]);
        if (at < 0) {
            unmarked.append(i);
        } else if (kCandidates.contains(key) && taken.contains(key)) {
            captions[i] = stripMarks(captions[i]);
            unmarked.append(i);
        } else if (kCandidates.contains(key)) {
            taken.insert(key);
        }
    }

    // Retry with the items that found no key first, keeping the first best.
    Attempt best = place(captions, unmarked, taken);
    Attempt last = best;
    for (qsizetype tries = 1; tries < unmarked.size() && best.placed < unmarked.size(); ++tries) {
        QList<qsizetype> order;
        for (const qsizetype item : last.order) {
            if (last.placedAt[item] < 0) {
                order.append(item);
            }
        }
        for (const qsizetype item : last.order) {
            if (last.placedAt[item] >= 0) {
                order.append(item);
            }
        }
        last = place(captions, order, taken);
        if (last.placed > best.placed) {
            best = last;
        }
    }

    for (const qsizetype item : unmarked) {
        if (best.placedAt[item] >= 0) {
            captions[item].insert(best.placedAt[item], u'&');
        }
    }
    return captions;
}
