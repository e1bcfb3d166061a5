#include "Commands.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <set>

#include "Cp1252.h"
#include "GlyphTexts.h"
#include "core/ColumnCodes.h"
#include "core/FontsFile.h"
#include "core/GlyphModel.h"

namespace {

// A message holds far fewer characters; more is not a message file.
constexpr qint64 kMaxMessageBytes = 1024 * 1024;
constexpr int kLedRows = 10;

QByteArray errorLine(const QString& text) {
    return "glyphctl: " + text.toUtf8() + '\n';
}

struct Failure {
    int code;
    QString text;
};

// The characters asked for, as codes in the order they go into the table.
std::variant<std::vector<int>, Failure> codesFor(const CharSource& source) {
    if (const auto* range = std::get_if<CharRange>(&source)) {
        std::vector<int> codes;
        for (int code = range->from; code <= range->to; ++code) {
            codes.push_back(code);
        }
        return codes;
    }
    if (const auto* text = std::get_if<CharText>(&source)) {
        auto codes = westernCodes(text->text);
        if (auto* reason = std::get_if<QString>(&codes)) {
            return Failure{kGlyphUsage, *reason};
        }
        std::vector<int> once;
        for (int code : std::get<std::vector<int>>(codes)) {
            if (std::find(once.begin(), once.end(), code) == once.end()) {
                once.push_back(code);
            }
        }
        if (once.empty()) {
            return Failure{kGlyphUsage, QStringLiteral("aucun caractère demandé")};
        }
        return once;
    }
    const QString path = std::get<CharFile>(source).path;
    const QFileInfo info(path);
    if (!info.exists()) {
        return Failure{kGlyphFailed, QStringLiteral("%1 : fichier introuvable").arg(path)};
    }
    if (!info.isFile() || info.size() > kMaxMessageBytes) {
        return Failure{kGlyphUsage,
                       QStringLiteral("%1 : pas un fichier de message (fichier ordinaire d'au "
                                      "plus %2 octets attendu)")
                           .arg(path)
                           .arg(kMaxMessageBytes)};
    }
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        return Failure{kGlyphFailed,
                       QStringLiteral("%1 : %2").arg(path, glyph::failureReason(errno))};
    }
    const QByteArray bytes = file.read(kMaxMessageBytes + 1);
    // Stateless: a sequence cut by the file's end is an error, as one mid-file is,
    // not a character held back for input that never comes.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError() || bytes.size() > kMaxMessageBytes) {
        return Failure{kGlyphUsage, QStringLiteral("%1 : le texte n'est pas en UTF-8").arg(path)};
    }
    // Line ends only end the message's lines; they are no characters of it.
    std::set<int> codes;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        auto lineCodes = westernCodes(line);
        if (auto* reason = std::get_if<QString>(&lineCodes)) {
            return Failure{kGlyphUsage,
                           QStringLiteral("%1:%2 : %3").arg(path).arg(i + 1).arg(*reason)};
        }
        const auto& found = std::get<std::vector<int>>(lineCodes);
        codes.insert(found.begin(), found.end());
    }
    if (codes.empty()) {
        return Failure{kGlyphUsage, QStringLiteral("%1 : aucun caractère").arg(path)};
    }
    return std::vector<int>(codes.begin(), codes.end());
}

std::vector<glyph::GlyphRecord> recordsOf(const QStringList& lines) {
    std::vector<glyph::GlyphRecord> records;
    for (const QString& line : lines) {
        if (auto record = glyph::parseGlyphLine(line);
            std::holds_alternative<glyph::GlyphRecord>(record)) {
            records.push_back(std::get<glyph::GlyphRecord>(std::move(record)));
        }
    }
    return records;
}

QByteArray drawAll(const std::vector<glyph::GlyphRecord>& records) {
    QStringList blocks;
    for (const auto& record : records) {
        blocks.append(drawGlyph(record));
    }
    return blocks.join(u'\n').toUtf8();
}

int showTable(const QString& path, GlyphOutput& output) {
    const auto loaded = glyph::loadTableFile(path);
    if (const auto* failure = std::get_if<glyph::FileProblem>(&loaded)) {
        output.err +=
            errorLine(QStringLiteral("%1 : %2").arg(path, glyphtext::tableFileProblem(*failure)));
        return kGlyphFailed;
    }
    const auto& read = std::get<glyph::TableRead>(loaded);
    if (read.lines.isEmpty() && read.problems.empty()) {
        output.err += errorLine(QStringLiteral("%1 : aucune ligne de table").arg(path));
        return kGlyphUsage;
    }
    if (!read.problems.empty()) {
        const auto& first = read.problems.front();
        QString text = QStringLiteral("%1:%2 : %3")
                           .arg(path)
                           .arg(first.line)
                           .arg(glyphtext::lineProblem(first.problem));
        if (read.problems.size() > 1) {
            text += QStringLiteral(" (%1 lignes illisibles en tout)").arg(read.problems.size());
        }
        output.err += errorLine(text);
        return kGlyphUsage;
    }
    output.out += drawAll(read.glyphs);
    return kGlyphDone;
}

}  // namespace

GlyphInvocation resolveShowTarget(GlyphInvocation inv) {
    if (inv.command != GlyphCommand::Show || inv.tableFile.isEmpty()) {
        return inv;
    }
    // A file of that name wins, so "show A" in a folder holding "A" shows the table.
    if (inv.tableFile.toUcs4().size() == 1 && !QFileInfo::exists(inv.tableFile)) {
        inv.chars = CharText{inv.tableFile};
        inv.tableFile.clear();
    }
    return inv;
}

bool drawsWithSystemFont(const GlyphInvocation& inv) {
    if (inv.capture.fontFile) {
        return false;
    }
    return inv.command == GlyphCommand::Table ||
           (inv.command == GlyphCommand::Show && inv.tableFile.isEmpty());
}

std::variant<glyph::CaptureFont, QString> captureFontFor(const CaptureOptions& options) {
    glyph::CaptureFont font = glyph::startFont();
    if (options.family) {
        const QStringList families = QFontDatabase::families();
        const auto found = std::find_if(families.begin(), families.end(), [&](const QString& f) {
            return f.compare(*options.family, Qt::CaseInsensitive) == 0;
        });
        if (found == families.end()) {
            return QStringLiteral("police inconnue : « %1 » (fc-list : family en donne la liste)")
                .arg(*options.family);
        }
        // Named as the font dialog names it.
        font.family = *found;
    }
    if (options.points) {
        font.pixels = glyph::pointsToPixels(*options.points);
    }
    font.bold = options.bold;
    font.italic = options.italic;
    return font;
}

std::variant<std::vector<int>, QString> westernCodes(const QString& text) {
    std::vector<int> codes;
    int position = 0;
    for (const char32_t u : text.toUcs4()) {
        ++position;
        const int code = u > 0xFFFF ? -1 : cp1252::encodeChar(static_cast<char16_t>(u));
        if (code < 0) {
            return QStringLiteral(
                       "caractère %1 (U+%2) absent de Windows-1252, la page de codes "
                       "du panneau")
                .arg(position)
                .arg(static_cast<uint>(u), 4, 16, QChar(u'0'));
        }
        codes.push_back(code);
    }
    return codes;
}

QStringList tableLines(const glyph::CaptureFont& font, const CaptureOptions& options,
                       const std::vector<int>& codes,
                       const std::shared_ptr<const glyph::BitmapStrike>& bitmap) {
    // The window's own steps: start-up, then for each character its capture, its
    // codes and "Ajoute".
    glyph::GlyphModel model(font);
    model.setColumns(options.columns);
    // Taken first, so the start's capture draws nothing with a system font.
    if (bitmap) {
        model.setBitmapFont(bitmap);
    }
    model.start();
    model.setOffsets(
        {static_cast<std::int16_t>(options.xoff), static_cast<std::int16_t>(options.yoff)});
    for (int code : codes) {
        model.setCode(code);
        model.capture();
        model.computeCodes();
        model.add();
    }
    return model.lines();
}

QString drawGlyph(const glyph::GlyphRecord& record) {
    const QChar ch = cp1252::decodeByte(static_cast<unsigned char>(record.code));
    QString text = QString::number(record.code);
    if (ch.isPrint()) {
        text += QStringLiteral(" « %1 »").arg(ch);
    }
    // The column words as the record lists them, without its braces.
    const QString line = glyph::recordLine(record);
    const qsizetype from = line.indexOf(u'{', 2) + 1;
    text += QStringLiteral(" :") +
            line.mid(from, line.lastIndexOf(u'}', line.lastIndexOf(u'}') - 1) - from) + u'\n';
    for (int row = 0; row < kLedRows; ++row) {
        for (const std::uint32_t word : record.words) {
            // A 0 bit is a lit LED; the panel keeps the low 16 bits of a word.
            text += ((word >> row) & 1U) == 0 ? u'#' : u'.';
        }
        text += u'\n';
    }
    return text;
}

int runGlyphCommand(const GlyphInvocation& given, GlyphOutput& output) {
    const GlyphInvocation inv = resolveShowTarget(given);
    if (inv.command == GlyphCommand::Help) {
        output.out += glyphctlHelp().toUtf8();
        return kGlyphDone;
    }
    if (inv.command == GlyphCommand::Version) {
        output.out += "glyphctl " GLYPHCTL_VERSION "\n";
        return kGlyphDone;
    }
    if (inv.command == GlyphCommand::Show && !inv.tableFile.isEmpty()) {
        return showTable(inv.tableFile, output);
    }
    // A bitmap font file needs no system font: the start font only stands by.
    std::variant<glyph::CaptureFont, QString> font = glyph::CaptureFont{};
    std::shared_ptr<const glyph::BitmapStrike> bitmap;
    if (const auto& path = inv.capture.fontFile) {
        auto read = glyph::loadBitmapFont(*path, inv.capture.points);
        if (const auto* problem = std::get_if<glyph::FontProblem>(&read)) {
            QString text = QStringLiteral("%1 : %2").arg(*path, glyphtext::fontProblem(*problem));
            if (problem->fault == glyph::FontFault::OutlineOnly) {
                text += QStringLiteral(" ; prenez-la avec --font");
            }
            output.err += errorLine(text);
            return kGlyphUsage;
        }
        bitmap = std::make_shared<const glyph::BitmapStrike>(
            std::get<glyph::BitmapStrike>(std::move(read)));
    } else {
        font = captureFontFor(inv.capture);
    }
    if (const auto* reason = std::get_if<QString>(&font)) {
        output.err += errorLine(*reason);
        return kGlyphUsage;
    }
    const auto codes = codesFor(inv.chars);
    if (const auto* failure = std::get_if<Failure>(&codes)) {
        output.err += errorLine(failure->text);
        return failure->code;
    }
    const auto& wanted = std::get<std::vector<int>>(codes);
    const QStringList lines =
        tableLines(std::get<glyph::CaptureFont>(font), inv.capture, wanted, bitmap);
    if (bitmap) {
        std::vector<int> missing;
        std::copy_if(wanted.begin(), wanted.end(), std::back_inserter(missing),
                     [&bitmap](int code) { return !bitmap->has(code); });
        if (!missing.empty()) {
            // Said, not refused: the table is whole, those glyphs are empty.
            output.err +=
                errorLine(QStringLiteral("%1 : caractères absents de la police, laissés vides : %2")
                              .arg(*inv.capture.fontFile, glyphtext::codeList(missing)));
        }
    }
    if (inv.command == GlyphCommand::Show) {
        output.out += drawAll(recordsOf(lines));
        return kGlyphDone;
    }
    const QByteArray bytes = glyph::fileBytes(lines);
    if (inv.output.isEmpty()) {
        output.out += bytes;
        return kGlyphDone;
    }
    // Whole or not at all: a failed write leaves no cut table behind.
    if (const auto failure = glyph::writeFileAtomically(inv.output, bytes)) {
        output.err += errorLine(QStringLiteral("%1 : %2").arg(inv.output, *failure));
        return kGlyphFailed;
    }
    return kGlyphDone;
}
