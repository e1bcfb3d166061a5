// glyphctl: font tables from the command line, on glyphsmith's glyph model.
#include <cstdio>
#include <memory>

#include <QGuiApplication>

#include "Commands.h"

namespace {

bool write(std::FILE* stream, const QByteArray& bytes) {
    const auto size = static_cast<std::size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, stream) == size && std::fflush(stream) == 0;
}

// Qt's own notes (a missing XDG_RUNTIME_DIR, fontconfig's remarks) are no
// business of a script reading glyphctl's one line of error; only its failures are.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        write(stderr, "glyphctl: " + text.toUtf8() + '\n');
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments are UTF-8, whatever the locale says.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromUtf8(argv[i]);
    }
    const auto parsed = parseGlyphArguments(args);
    if (const auto* usage = std::get_if<GlyphUsageError>(&parsed)) {
        write(stderr, "glyphctl: " + usage->message.toUtf8() + '\n');
        return kGlyphUsage;
    }
    const GlyphInvocation inv = resolveShowTarget(std::get<GlyphInvocation>(parsed));
    // Glyphs are drawn with the system's fonts, never shown: no display is needed,
    // in a build or in CI alike.
    std::unique_ptr<QGuiApplication> app;
    if (drawsWithSystemFont(inv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(qtMessages);
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    GlyphOutput output;
    int code = runGlyphCommand(inv, output);
    if (!write(stdout, output.out) && code == kGlyphDone) {
        write(stderr, QByteArray("glyphctl: la sortie standard n'a pas pu être écrite\n"));
        code = kGlyphFailed;
    }
    write(stderr, output.err);
    return code;
}
