// The desktop program, offscreen: a document of N characters checked with the shipped
// dictionaries, marked and listed, from pressing "校对" to the summary; and a .docx of 300 pages
// imported, checked, every suggestion accepted and exported by "导出修订稿".
//   gui_bench [PROGRAM_DIR]   (default: the directory of the executable's parent)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>

#include "app/error_list_model.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "documents/docx_package.h"
#include "text/files.h"
#include "text/text_file.h"
#include "text/utf.h"
#include "ui/message_box.h"

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

// A .docx of about 300 pages: the sentences as paragraphs, each in three runs of other formats.
std::string longDocx(int characters) {
    const char* formats[] = {"", "<w:rPr><w:b/></w:rPr>", "<w:rPr><w:sz w:val=\"21\"/></w:rPr>"};
    std::string body;
    int written = 0;
    for (int i = 0; written < characters; ++i) {
        const std::u16string sentence = kSentences[i % 4];
        const std::size_t third = sentence.size() / 3;
        body += "<w:p>";
        for (std::size_t r = 0; r < 3; ++r) {
            const std::size_t end = r == 2 ? sentence.size() : (r + 1) * third;
            body += std::string("<w:r>") + formats[r] + "<w:t>" +
                    kjf::utf16ToUtf8Lossy(sentence.substr(r * third, end - r * third)) +
                    "</w:t></w:r>";
        }
        body += "</w:p>";
        written += static_cast<int>(sentence.size()) + 1;
    }
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document "
        "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>" +
        body + "<w:sectPr/></w:body></w:document>";
    const std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
    return kjf::rewritePackage(std::string("PK\x05\x06", 4) + std::string(18, '\0'),
                               {{"[Content_Types].xml", types}, {"word/document.xml", document}})
        .value_or("");
}

// Types path into the next save dialog and accepts it.
void answerSaveDialog(const QString& path) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    poll->start(1);
}

// Imports a 300-page .docx, checks it, accepts every suggestion and exports the revised document.
void exportRevised(kjf::rg_WoDeZhuChuangKou& window, QLabel& status) {
    QTemporaryDir folder;
    const std::string source =
        QDir(folder.path()).filePath(QStringLiteral("long.docx")).toStdString();
    if (!kjf::writeFileAtomically(source, longDocx(212'000))) {
        std::fputs("gui_bench: cannot write the document\n", stderr);
        return;
    }
    QElapsedTimer timer;
    timer.start();
    window.importDocument(QString::fromStdString(source));
    std::printf("300-page .docx: imported in %lld ms\n", static_cast<long long>(timer.elapsed()));
    window.commandAction(kjf::Command::Check)->trigger();
    while (!status.text().startsWith(QStringLiteral("校对完毕"))) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const auto exportAs = [&](const QString& name, const char* what) {
        answerSaveDialog(QDir(folder.path()).filePath(name));
        QElapsedTimer exporting;
        exporting.start();
        window.commandAction(kjf::Command::ExportRevised)->trigger();
        std::printf("300-page .docx: %s exported in %lld ms (the dialog answered at once); %s\n",
                    what, static_cast<long long>(exporting.elapsed()), qPrintable(status.text()));
    };
    const int rows = window.errorList()->rowCount();
    exportAs(QStringLiteral("comments.docx"), "every row a comment,");
    auto* list = window.findChild<QTableView*>(QStringLiteral("errorListView"));
    list->selectAll();
    timer.restart();
    window.applySuggestions();
    std::printf("300-page .docx: %d rows, suggestions accepted in %lld ms, %d rows left\n", rows,
                static_cast<long long>(timer.elapsed()), window.errorList()->rowCount());
    exportAs(QStringLiteral("changes.docx"), "every suggestion a tracked change,");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::string directory = argc > 1 ? argv[1] : kjf::programDirectory() + "../";
    if (directory.back() != '/') {
        directory += '/';
    }
    kjf::setMessageAnswererForTesting([](const kjf::ShownMessage&) { return QMessageBox::Ok; });
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
    exportRevised(*window, *status);
    return 0;
}
