// Whole-process timing of `lumictl preview --gif` once round a 199-character
// message, from spawn to exit, and the size of the file it writes.
//   build/bench/lumictl_gif_time [runs]     (LUMI_BIN_DIR defaults to build/bin)

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include "BinDir.h"
#include "ProcessTiming.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const std::string lumictl = QDir(builtBinDir()).filePath("lumictl").toStdString();
    QTemporaryDir dir;
    const std::string gif = dir.filePath(QStringLiteral("b.gif")).toStdString();

    // Every column lit somewhere, and a sentence with its blanks.
    std::string letters;
    for (int i = 0; i < 199; ++i) {
        letters += static_cast<char>('a' + i % 26);
    }
    std::string sentence =
        "Journal Lumineux - Voltamark 2009 : la livraison du lundi est arrivee au quai numero 3, "
        "merci de venir la chercher avant midi. Bonne journee a toutes et a tous, et a demain "
        "pour de nouvelles aventures !";
    sentence.resize(199, ' ');

    bool ok = true;
    for (const auto& [name, text] : {std::pair{"preview --gif (199 letters)", letters},
                                     std::pair{"preview --gif (199, a sentence)", sentence}}) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            times.push_back(timeRun({lumictl, "preview", "--gif", gif, text}));
        }
        ok = report(name, times) && ok;
        std::printf("%-36s file   %9lld bytes\n", name,
                    static_cast<long long>(QFileInfo(QString::fromStdString(gif)).size()));
    }
    return ok ? 0 : 1;
}
