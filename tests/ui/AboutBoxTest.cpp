#include "ui/AboutBox.h"

#include "ui/UserPrompts.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ScriptedPrompts.h"

using tavrik::AboutBox;
using tavrik::UserPrompts;
using tavrik::test::ScriptedPrompts;

namespace {

// A tool that leaves a marker file beside itself when started.
void writeTool(const QString& path, bool executable)
{
    QFile tool(path);
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\ntouch \"$0.ran\"\n");
    tool.close();
    QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
    if (executable) {
        perms |= QFile::ExeOwner;
    }
    QVERIFY(tool.setPermissions(perms));
}

const QString unavailable = QStringLiteral("System Information Is Unavailable At This Time");

} // namespace

class AboutBoxTest : public QObject
{
    Q_OBJECT
private slots:
    void showsItsVersionAndTenLinesOfContact();
    void enterAndEscCloseTheBox_data();
    void enterAndEscCloseTheBox();
    void systemInfoWithoutToolSaysUnavailable_data();
    void systemInfoWithoutToolSaysUnavailable();
    void systemInfoStartsFirstListedToolFound();
};

void AboutBoxTest::showsItsVersionAndTenLinesOfContact()
{
    ScriptedPrompts prompts;
    AboutBox box(prompts);
    QCOMPARE(box.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(box.lblVersion->text(), QStringLiteral("Version 5.0"));
    QVERIFY(!box.picIcon->pixmap().isNull());
    QVERIFY(!box.isModal());
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QVERIFY(!(box.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));

    box.setContactText();
    const QString text = box.lblDescription->text();
    // Every line feed belongs to a CR LF pair.
    QCOMPARE(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));

    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines[0], QStringLiteral("For information or help contact:"));
    QCOMPARE(lines[1], QString());
    QCOMPARE(lines[6], QString());
    for (int i : {2, 3, 4, 5, 7, 8, 9}) {
        const QString& line = lines[i];
        QVERIFY2(line.startsWith(QStringLiteral("   ")) && line.size() > 3 && line[3] != ' ',
                 qPrintable(QStringLiteral("line %1: \"%2\"").arg(i + 1).arg(line)));
    }
    QVERIFY(lines[7].contains(QStringLiteral("Phone")));
    QVERIFY(lines[8].contains(QStringLiteral("Fax")));
    QVERIFY(lines[9].contains(QLatin1Char('@')));
}

void AboutBoxTest::enterAndEscCloseTheBox_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
}

void AboutBoxTest::enterAndEscCloseTheBox()
{
    QFETCH(int, key);
    ScriptedPrompts prompts;
    AboutBox box(prompts);
    box.setContactText();
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(box.isVisible());
    QTest::keyClick(&box, Qt::Key(key));
    QVERIFY(!box.isVisible());
    QVERIFY(prompts.shown().isEmpty());
}

void AboutBoxTest::systemInfoWithoutToolSaysUnavailable_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("empty PATH") << QStringLiteral("empty");
    QTest::newRow("PATH without the tools") << QStringLiteral("other");
    QTest::newRow("tool not executable") << QStringLiteral("noexec");
    QTest::newRow("folder named like the tool") << QStringLiteral("folder");
}

void AboutBoxTest::systemInfoWithoutToolSaysUnavailable()
{
    QFETCH(QString, situation);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString searchPath = dir.path();
    if (situation == QStringLiteral("empty")) {
        searchPath.clear();
    } else if (situation == QStringLiteral("noexec")) {
        writeTool(dir.filePath(QStringLiteral("sysinfo-tool")), false);
    } else if (situation == QStringLiteral("folder")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sysinfo-tool")));
    }

    ScriptedPrompts prompts;
    AboutBox box(prompts);
    box.setSystemInfoSearch({QStringLiteral("sysinfo-tool")}, searchPath);
    box.show();
    QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);

    QCOMPARE(prompts.shown().size(), 1);
    QCOMPARE(prompts.shown().front().icon, UserPrompts::Icon::None);
    QCOMPARE(prompts.shown().front().title, QStringLiteral("TAVRIK"));
    QCOMPARE(prompts.shown().front().text, unavailable);
    QCOMPARE(prompts.shown().front().owner.data(), box.cmdOK); // over the box, not the window
    QVERIFY(box.isVisible()); // the box stays open after the message
    box.close();
}

void AboutBoxTest::systemInfoStartsFirstListedToolFound()
{
    // The earlier tool of the list wins even when it sits in a later PATH folder.
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    writeTool(first.filePath(QStringLiteral("tool-b")), true);
    writeTool(second.filePath(QStringLiteral("tool-a")), true);
    const QString searchPath = first.path() + QDir::listSeparator() + second.path();
    const QStringList tools = {QStringLiteral("tool-a"), QStringLiteral("tool-b")};

    QCOMPARE(tavrik::findSystemInfoTool(tools, searchPath),
             second.filePath(QStringLiteral("tool-a")));

    ScriptedPrompts prompts;
    AboutBox box(prompts);
    box.setSystemInfoSearch(tools, searchPath);
    box.show();
    QTest::mouseClick(box.cmdSysInfo, Qt::LeftButton);
    QVERIFY(prompts.shown().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(second.filePath(QStringLiteral("tool-a.ran"))), 10000);
    QVERIFY(!QFile::exists(first.filePath(QStringLiteral("tool-b.ran"))));
    box.close();
}

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
