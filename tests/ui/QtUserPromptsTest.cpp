// The platform's own boxes and dialogs behind UserPrompts, driven as a user would: whom a
// message belongs to and where the focus goes after it, the save dialog's suffix and overwrite
// question, the remembered folder, and the fixed-pitch font list.
#include "ui/QtUserPrompts.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>
#include <utility>

using tavrik::FileRequest;
using tavrik::QtUserPrompts;
using tavrik::UserPrompts;

namespace {

// Runs act on the modal window of type T as soon as it is shown.
template <typename T> void whenShown(std::function<void(T*)> act)
{
    QTimer::singleShot(0, [act] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (modal == nullptr) {
            whenShown<T>(act); // not up yet
            return;
        }
        act(modal);
    });
}

} // namespace

class QtUserPromptsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }

    void aMessageIsCentredOnItsOwnersWindowAndGivesTheFocusBack()
    {
        QWidget main;
        main.setGeometry(0, 0, 900, 700);
        main.show();
        QDialog dialog(&main);
        auto* edit = new QLineEdit(&dialog);
        auto* button = new QPushButton("OK", &dialog);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(edit);
        layout->addWidget(button);
        dialog.setGeometry(500, 300, 300, 200);
        dialog.show();
        button->setFocus();

        QtUserPrompts prompts;
        prompts.setParentWidget(&main);
        QWidget* boxParent = nullptr;
        QPoint boxCentre;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            boxParent = box->parentWidget();
            boxCentre = box->geometry().center();
            box->button(QMessageBox::Ok)->click();
        });
        prompts.message(edit, UserPrompts::Icon::Critical, "ERROR", "Heritability out of range");
        QCOMPARE(boxParent, &dialog);
        QVERIFY2((boxCentre - dialog.geometry().center()).manhattanLength() < 40,
                 qPrintable(QString("%1,%2").arg(boxCentre.x()).arg(boxCentre.y())));
        QCOMPARE(dialog.focusWidget(), edit);
    }

    void theSaveQuestionAnswersToItsAccessKeys()
    {
        QtUserPrompts prompts;
        const QList<UserPrompts::Answer> choices{
            UserPrompts::Answer::Save, UserPrompts::Answer::Discard, UserPrompts::Answer::Cancel};
        for (const auto& [key, expected] : {std::pair{Qt::Key_S, UserPrompts::Answer::Save},
                                            std::pair{Qt::Key_D, UserPrompts::Answer::Discard},
                                            std::pair{Qt::Key_C, UserPrompts::Answer::Cancel}}) {
            whenShown<QMessageBox>([key](QMessageBox* box) {
                box->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(box));
                QTest::keyClick(box, key, Qt::AltModifier);
                // a key that does nothing leaves the box open: close it so the test goes on
                QTimer::singleShot(2000, box, [box] { box->done(QMessageBox::Ok); });
            });
            const UserPrompts::Answer answer = prompts.ask(
                nullptr, UserPrompts::Icon::Warning, "TAVRIK", "Save the output?", choices);
            QCOMPARE(answer, expected);
        }
    }

    void aBareNameGetsTheSuffixBeforeTheOverwriteQuestion()
    {
        QFile old(m_dir.filePath("chart1.png"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();

        QtUserPrompts prompts;
        QString question;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText("chart1");
            whenShown<QMessageBox>([&](QMessageBox* box) {
                question = box->text();
                box->button(QMessageBox::Yes)->click();
            });
            static_cast<QDialog*>(dialog)->accept(); // the file dialog's own checks run
        });
        const auto chosen = prompts.saveFile(
            {{"PNG Images (*.png)"}, m_dir.filePath("start"), "png", "chart", nullptr});
        QVERIFY(question.contains("chart1.png"));
        QCOMPARE(chosen.value_or(QString()), m_dir.filePath("chart1.png"));

        // the next dialog of the same kind opens in that folder
        QString folder;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            folder = dialog->directory().absolutePath();
            dialog->reject();
        });
        QVERIFY(!prompts.saveFile({{"PNG Images (*.png)"}, {}, "png", "chart", nullptr}));
        QCOMPARE(folder, QDir(m_dir.path()).absolutePath());
    }

    void theFontDialogListsFixedPitchFontsOnly()
    {
        QtUserPrompts prompts;
        QStringList families;
        whenShown<QFontDialog>([&](QFontDialog* dialog) {
            const QListView* list = dialog->findChildren<QListView*>().value(0);
            for (int row = 0; list != nullptr && row < list->model()->rowCount(); ++row) {
                families << list->model()->index(row, 0).data().toString();
            }
            dialog->reject();
        });
        QVERIFY(!prompts.font(QFont("Liberation Mono", 12)));
        QVERIFY(!families.isEmpty());
        for (const QString& family : families) {
            QVERIFY2(QFontDatabase::isFixedPitch(family), qPrintable(family));
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(QtUserPromptsTest)
#include "QtUserPromptsTest.moc"
