
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

// The text box's text as the saved file must hold it: every line end as CR LF.
QByteArray crlf(QString text)
{
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toUtf8();
}

} // namespace

class SaveOutputTest : public WindowTest
{
    Q_OBJECT

    void runWithMatricesShown(const QByteArray& data)
    {
        QVERIFY(h->openAndRun(data, false, true));
        // the listing's lines always end in CR LF, so the file simply continues with them
        QVERIFY(h->state.matrixFile.ends_with("\r\n"));
    }

    QStringList filesInDir() const { return QDir(h->dir.path()).entryList(QDir::Files); }

private slots:
    void outputShownWholeOnScreenIsSavedOnceWithOneLineEnd()
    {
        runWithMatricesShown(threePopulations);
        QCOMPARE(h->state.outputFitsScreen, true);
        const QString out = h->dir.filePath("out.txt");
        h->prompts.queueSaveFileName(out);
        QVERIFY(h->trigger("mnuSave"));

        QCOMPARE(h->prompts.lastFilters(), QStringList{"Text Files (*.TXT *.txt)"});
        const QByteArray saved = fileBytes(out);
        QCOMPARE(saved, crlf(h->text()) + "\r\n");
        QVERIFY(saved.startsWith("TAVRIK 5.0\r\n"));
        QCOMPARE(saved.count("(standard errors in parentheses)"),
                 h->text().count("(standard errors in parentheses)"));
        QVERIFY(h->prompts.shown().isEmpty()); // no word on success
        QCOMPARE(h->state.askSaveName, false);
        QCOMPARE(QString::fromStdString(h->state.outputFileName), out);
    }

    void outputTooLargeForTheScreenIsSavedWithTheListing()
    {
        runWithMatricesShown(manyPopulations());
        QCOMPARE(h->prompts.shown().size(), 1); // the warning at the end of the run
        h->prompts.clearShown();
        QVERIFY(!h->text().contains("(standard errors in parentheses)"));

        const QString out = h->dir.filePath("large.txt");
        h->prompts.queueSaveFileName(out);
        QVERIFY(h->trigger("mnuSaveOut"));
        const QByteArray saved = fileBytes(out);
        QCOMPARE(saved, crlf(h->text()) + "\r\n" + QByteArray::fromStdString(h->state.matrixFile));
        QVERIFY(saved.contains("(standard errors in parentheses)"));

        // Matrices asked for again after a run that could not show them: the first Ctrl+S
        // still adds the listing, while Save Output As follows the option alone.
        QVERIFY(h->runAll());
        QVERIFY(h->setOptions(false, true));
        const QString ctrlS = h->dir.filePath("ctrl-s.txt");
        h->prompts.queueSaveFileName(ctrlS);
        QVERIFY(h->trigger("mnuSave"));
        QCOMPARE(fileBytes(ctrlS),
                 crlf(h->text()) + "\r\n" + QByteArray::fromStdString(h->state.matrixFile));
        QVERIFY(h->runAll());
        QVERIFY(h->setOptions(false, true));
        const QString saveAs = h->dir.filePath("save-as.txt");
        h->prompts.queueSaveFileName(saveAs);
        QVERIFY(h->trigger("mnuSaveOut"));
        QCOMPARE(fileBytes(saveAs), crlf(h->text()) + "\r\n");
    }

    void ctrlSRewritesTheEditedTextUntilTheNextRun()
    {
        runWithMatricesShown(threePopulations);
        const QString first = h->dir.filePath("first.txt");
        h->prompts.queueSaveFileName(first);
        QVERIFY(h->trigger("mnuSaveOut"));

        h->textBox()->moveCursor(QTextCursor::End);
        h->textBox()->insertPlainText("typed by hand\n");
        QVERIFY(h->trigger("mnuSave")); // no name queued: a dialog would fail the test
        QVERIFY(fileBytes(first).endsWith("typed by hand\r\n\r\n"));
        QCOMPARE(fileBytes(first), crlf(h->text()) + "\r\n");

        // matrices off since the save: the listing now follows the screen text
        QVERIFY(h->setOptions(false, false));
        QVERIFY(h->trigger("mnuSave"));
        QCOMPARE(fileBytes(first),
                 crlf(h->text()) + "\r\n" + QByteArray::fromStdString(h->state.matrixFile));

        const QByteArray firstBytes = fileBytes(first);
        QVERIFY(h->runAll());
        QCOMPARE(h->state.askSaveName, true);
        const QString second = h->dir.filePath("second.txt");
        h->prompts.queueSaveFileName(second);
        QVERIFY(h->trigger("mnuSave"));
        QVERIFY(QFile::exists(second));
        QCOMPARE(fileBytes(first), firstBytes);
    }

    void cancelledAndFailedSavesKeepTheEarlierFileAndState()
    {
        runWithMatricesShown(threePopulations);
        h->prompts.queueSaveFileName(std::nullopt);
        QVERIFY(h->trigger("mnuSave"));
        QCOMPARE(filesInDir(), QStringList{"pops.tvk"});
        QCOMPARE(h->state.askSaveName, true);
        QVERIFY(h->prompts.shown().isEmpty()); // Cancel is silent

        const QString good = h->dir.filePath("good.txt");
        h->prompts.queueSaveFileName(good);
        QVERIFY(h->trigger("mnuSaveOut"));
        const QByteArray before = fileBytes(good);

        const QString missing = h->dir.filePath("missing-dir/out.txt");
        h->textBox()->insertPlainText("changed\n");
        h->prompts.queueSaveFileName(missing);
        QVERIFY(h->trigger("mnuSaveOut"));
        QCOMPARE(h->prompts.shown().size(), 1);
        QCOMPARE(h->prompts.shown().front().icon, UserPrompts::Icon::Critical);
        QVERIFY(h->prompts.shown().front().text.contains(missing));
        QVERIFY(h->prompts.shown().front().text.contains(
            "the folder \"" + h->dir.filePath("missing-dir") + "\" does not exist"));
        QCOMPARE(QString::fromStdString(h->state.outputFileName), good);
        QCOMPARE(h->state.askSaveName, false);
        QCOMPARE(fileBytes(good), before);

        // Ctrl+S onto a name that has become a folder: no rename over it, no leftovers
        const QString blocked = h->dir.filePath("blocked");
        QVERIFY(QDir(h->dir.path()).mkdir("blocked"));
        h->state.outputFileName = blocked.toStdString();
        h->prompts.clearShown();
        QVERIFY(h->trigger("mnuSave"));
        QCOMPARE(h->prompts.shown().size(), 1);
        QVERIFY(h->prompts.shown().front().text.contains(blocked));
        QCOMPARE(filesInDir(), (QStringList{"good.txt", "pops.tvk"}));
        QCOMPARE(QString::fromStdString(h->state.outputFileName), blocked);
    }
};

QTEST_MAIN(SaveOutputTest)
#include "SaveOutputTest.moc"
