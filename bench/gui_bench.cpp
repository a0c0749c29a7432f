// The desktop program's run, offscreen: a document of N characters checked with the shipped
// dictionaries, marked and listed, from pressing "校对" to the summary.
//   gui_bench [PROGRAM_DIR]   (default: the directory of the executable's parent)
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTextEdit>
#include <cstdio>

#include "app/error_list_model.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "text/text_file.h"

namespace {

// Ordinary prose with a few known wrong words, one paragraph per sentence.
const char16_t* const kSentences[] = {
    u"勘鉴坊是一个校对中文文字材料的工具。",
    u"文章写完之后，再接再励地检查一遍错别字，是每个作者都应当养成的习惯。",
    u"有些错误很隐蔽，比如按步就班、一愁莫展和迫不急待，读的时候一晃而过。",
    u"校对时把可疑的字词标出来，逐条核对建议，必要时查阅词典，就能让文章少出差错。",
};

QString document(int characters) {
    QString text;
    text.reserve(characters + 100);
    for (int i = 0; text.size() < characters; ++i) {
        text += QString::fromUtf16(kSentences[i % 4]);
        text += QLatin1Char('\n');
    }
    text.truncate(characters);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::string directory = argc > 1 ? argv[1] : kjf::programDirectory() + "../";
    if (directory.back() != '/') {
        directory += '/';
    }
    kjf::rg_QiDongLei startup(directory);
    QElapsedTimer loading;
    loading.start();
    startup.startApplication();
    std::printf("dictionaries loaded in %lld ms\n", static_cast<long long>(loading.elapsed()));

    auto* window = startup.mainWindow();
    auto* status = window->findChild<QLabel*>(QStringLiteral("statusMessage"));
    if (status == nullptr) {
        std::fputs("gui_bench: the main window has no status message\n", stderr);
        return 1;
    }
    for (const int size : {100'000, 1'000'000}) {
        window->editor()->setPlainText(document(size));
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        window->commandAction(kjf::Command::Check)->trigger();
        while (!status->text().startsWith(QStringLiteral("校对完毕"))) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        const auto elapsed = timer.elapsed();
        std::size_t marked = 0;
        for (const auto& mark : window->marks().marks()) {
            marked += static_cast<std::size_t>(mark.length);
        }
        std::printf("%7d characters: %5lld ms, %d rows, %zu marked characters; %s\n", size,
                    static_cast<long long>(elapsed), window->errorList()->rowCount(), marked,
                    qPrintable(status->text()));
        timer.restart();
        window->commandAction(kjf::Command::ClearMarks)->trigger();
        std::printf("%7d characters: clearing the marks %lld ms\n", size,
                    static_cast<long long>(timer.elapsed()));
    }
    return 0;
}
