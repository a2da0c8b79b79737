#include "ui/HelpViewer.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

using tavrik::HelpViewer;

namespace {

const QString sourceGuide = QStringLiteral(TAVRIK_GUIDE);

void touch(const QString& path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html><body><p>guide</p></body></html>\n");
}

} // namespace

class HelpViewerTest : public QObject
{
    Q_OBJECT
private slots:
    void showsTheGuideWithTheProgramsTextsAndEveryInternalLinkHasItsTarget();
    void linksCanBeFollowedBackAndForward();
    void missingGuideNamesTheFileItLookedFor();
    void guideIsFoundBesideOrAboveTheProgramAndTheBuildPutsItThere();
    void searchFindsTextAndWrapsAround();
};

void HelpViewerTest::searchFindsTextAndWrapsAround()
{
    HelpViewer viewer(sourceGuide);
    QVERIFY(viewer.guideLoaded());
    viewer.show();
    QCOMPARE(viewer.actFind->shortcut(), QKeySequence(QKeySequence::Find));
    viewer.actFind->trigger();
    QCOMPARE(viewer.focusWidget(), viewer.txtFind);
    QTest::keyClicks(viewer.txtFind, "Recent Files");
    QTest::keyClick(viewer.txtFind, Qt::Key_Return);
    QCOMPARE(viewer.helpBrowser->textCursor().selectedText(), QString("Recent Files"));
    const int first = viewer.helpBrowser->textCursor().position();
    int position = first;
    // on through every place and from the top again
    for (int i = 0; i < 50 && (position > first || (position == first && i == 0)); ++i) {
        QVERIFY(viewer.findNext());
        position = viewer.helpBrowser->textCursor().position();
    }
    QCOMPARE(position, first);
    viewer.txtFind->setText("no such words anywhere");
    QVERIFY(!viewer.findNext());
}

void HelpViewerTest::showsTheGuideWithTheProgramsTextsAndEveryInternalLinkHasItsTarget()
{
    HelpViewer viewer(sourceGuide);
    QVERIFY(viewer.guideLoaded());
    QVERIFY(viewer.windowFlags() & Qt::Window);
    const QString text = viewer.helpBrowser->toPlainText();
    // Program texts quoted by the guide must be the program's own, blanks included.
    QVERIFY(text.contains(QStringLiteral("Heritability out of range")));
    QVERIFY(text.contains(QStringLiteral("At least 2 populations must be selected")));
    QVERIFY(text.contains(QStringLiteral("Output too large to fit on screen.")));

    QSet<QString> targets;
    QStringList links;
    const QTextDocument* doc = viewer.helpBrowser->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            for (const QString& name : format.anchorNames()) {
                targets.insert(name);
            }
            const QString href = format.anchorHref();
            if (href.startsWith(QLatin1Char('#'))) {
                links << href.mid(1);
            }
        }
    }
    QVERIFY2(links.size() >= 20, "the contents list links every section"); // its headings
    QVERIFY(targets.contains(QStringLiteral("contents")));
    for (const QString& link : links) {
        QVERIFY2(targets.contains(link), qPrintable(QStringLiteral("#") + link));
    }
}

void HelpViewerTest::linksCanBeFollowedBackAndForward()
{
    HelpViewer viewer(sourceGuide);
    viewer.show();
    QVERIFY(!viewer.actBack->isEnabled());
    QUrl section = viewer.helpBrowser->source();
    section.setFragment(QStringLiteral("batch"));
    viewer.helpBrowser->setSource(section);
    QVERIFY(viewer.actBack->isEnabled());
    viewer.actBack->trigger();
    QVERIFY(viewer.actForward->isEnabled());
    QCOMPARE(viewer.helpBrowser->source().fragment(), QString());
    viewer.showContents();
    QCOMPARE(viewer.helpBrowser->source().path(), QUrl::fromLocalFile(sourceGuide).path());
    viewer.close();
}

void HelpViewerTest::missingGuideNamesTheFileItLookedFor()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("help/tavrik-guide.html"));
    HelpViewer viewer(missing);
    QVERIFY(!viewer.guideLoaded());
    QVERIFY(viewer.helpBrowser->toPlainText().contains(QDir::toNativeSeparators(missing)));
    QVERIFY(!viewer.actContents->isEnabled());
    viewer.showContents(); // nothing to go to, and no crash
    viewer.show();
    viewer.close();

    // A folder where the file should be is as good as missing.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("help/tavrik-guide.html")));
    HelpViewer onFolder(missing);
    QVERIFY(!onFolder.guideLoaded());
    QVERIFY(onFolder.helpBrowser->toPlainText().contains(QDir::toNativeSeparators(missing)));
}

void HelpViewerTest::guideIsFoundBesideOrAboveTheProgramAndTheBuildPutsItThere()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    const QString beside = root.filePath(QStringLiteral("bin/help/tavrik-guide.html"));
    const QString installed = root.filePath(QStringLiteral("share/tavrik/help/tavrik-guide.html"));

    // Neither exists: the place beside the program is named.
    QCOMPARE(tavrik::guidePathFrom(bin), beside);
    touch(installed);
    QCOMPARE(tavrik::guidePathFrom(bin), installed);
    touch(beside);
    QCOMPARE(tavrik::guidePathFrom(bin), beside);

    // the built program has the guide beside it
    const QString path = tavrik::guidePathFrom(QStringLiteral(TAVRIK_PROGRAM_DIR));
    QVERIFY2(QFile::exists(path), qPrintable(path));
    QFile built(path);
    QFile source(sourceGuide);
    QVERIFY(built.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly));
    QCOMPARE(built.readAll(), source.readAll());
}

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
