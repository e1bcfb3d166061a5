#pragma once

#include <array>
#include <cstdint>

#include <QByteArray>

#include "Beeper.h"
#include "Clock.h"

// Milliseconds between two ticks: the panel scrolls one column at that pace.
inline constexpr int kPreviewTickMs = 50;

// The text the preview and the message field start with (two blanks at the end).
inline constexpr char kWelcomeText[] = "Journal Lumineux - Voltamark 2009  ";

// The simulated panel's state and its one-column step, without any drawing:
// the message scrolls right to left through ledcols, one column per tick,
// imitating the panel's handling of "#I", "#N", "#P", "#H", "#D" and "#B".
// Texts are bytes of the Western code page (Windows-1252).
class PreviewEngine {
public:
    static constexpr int kWords = 31;         // ledcols[0..30]
    static constexpr int kShownColumns = 20;  // words 1 to 20 are on show
    static constexpr int kRows = 10;
    static constexpr int kStageWord = 20;  // first word a character is staged in

    PreviewEngine(const Clock& clock, Beeper& beeper);

    // Start-up values; until this has run, tick() does nothing.
    void reset();
    // The field's text changed: the copy follows; an empty text becomes " ".
    // Reading position, font, mask and a pending "#" stay as they are.
    void setText(const QByteArray& text);
    // Shift one column left, then read and stage the next character when due.
    void tick();

    bool isReset() const { return reset_; }
    // Column c (0 = left edge) of the matrix as drawn at the next tick.
    std::uint16_t shownColumn(int c) const { return ledcols_[static_cast<std::size_t>(c + 1)]; }
    bool isLit(int c, int r) const { return (shownColumn(c) & (1u << r)) == 0; }

    const std::array<std::uint16_t, kWords>& ledcols() const { return ledcols_; }
    int fontwidth() const { return fontwidth_; }
    int colcount() const { return colcount_; }
    const QByteArray& msgtxt() const { return msgtxt_; }
    int msgpos() const { return msgpos_; }
    const QByteArray& subtxt() const { return subtxt_; }
    int subpos() const { return subpos_; }
    bool codeflag() const { return codeflag_; }
    std::uint16_t invmask() const { return invmask_; }
    // Columns shifted since the program started (ticks after start-up).
    std::uint64_t shifts() const { return shifts_; }

private:
    int readNext();
    void actOnCode(int ch);
    void startExpansion(QByteArray text);
    void stage(int ch);

    const Clock& clock_;
    Beeper& beeper_;
    bool reset_ = false;

    std::array<std::uint16_t, kWords> ledcols_{};
    int fontwidth_ = 8;
    int colcount_ = 8;
    QByteArray msgtxt_ = kWelcomeText;
    int msgpos_ = 1;
    QByteArray subtxt_;
    std::uint8_t subpos_ = 0;  // 0 = no expansion in progress
    bool codeflag_ = false;
    std::uint16_t invmask_ = 0;
    std::uint64_t shifts_ = 0;
};

// "mardi 14 juillet 2009": day name, day, month name, year, no accents.
QByteArray dateInWords(const QDate& date);
