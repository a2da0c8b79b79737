#include "ui/OptionsDialog.h"

#include "ui/AnalysisDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

class OptionsDialogTest : public WindowTest
{
    Q_OBJECT

    OptionsDialog* options = nullptr;

    void type(const QString& text)
    {
        options->H2Text->selectAll();
        QTest::keyClick(options->H2Text, Qt::Key_Backspace);
        QTest::keyClicks(options->H2Text, text);
    }

private slots:
    void init()
    {
        startWindow();
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        QVERIFY(h->trigger("mnuOpt"));
        options = h->find<OptionsDialog>("Options");
        QVERIFY(options->isVisible());
    }

    void okTakesAHeritabilityInRangeWithTheFlagsAndRejectsOthers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("typedValue"); // stored while typing
        QTest::addColumn<bool>("accepted");
        // the text's reading and the range are pinned by the state tests; here what OK does
        QTest::newRow("one") << "1" << 1.0f << true;
        QTest::newRow("half") << "0.5" << 0.5f << true;
        QTest::newRow("trailing letters") << "0.5abc" << 0.5f << true;
        QTest::newRow("zero") << "0" << 0.0f << false;
        QTest::newRow("above one") << "1.01" << 1.01f << false;
        QTest::newRow("empty") << "" << 0.0f << false;
    }

    void okTakesAHeritabilityInRangeWithTheFlagsAndRejectsOthers()
    {
        QFETCH(QString, text);
        QFETCH(float, typedValue);
        QFETCH(bool, accepted);
        type(text);
        QCOMPARE(h->state.settings.heritability, typedValue);
        options->CheckBias->setChecked(false);
        options->CheckScaling->setChecked(true);
        options->CheckOutput->setChecked(true);
        options->btnOK->click();

        const AnalysisSettings& s = h->state.settings;
        if (accepted) {
            QVERIFY(h->prompts.shown().isEmpty());
            QVERIFY(!options->isVisible());
            QCOMPARE(s.heritability, typedValue);
            QCOMPARE(s.biasCorrection, false);
            QCOMPARE(s.scaledAnalysis, true);
            QCOMPARE(s.showMatrices, true);
            return;
        }
        QCOMPARE(h->prompts.shown().size(), 1);
        const ScriptedPrompts::Shown& box = h->prompts.shown().front();
        QCOMPARE(box.icon, UserPrompts::Icon::Critical);
        QCOMPARE(box.title, QString("ERROR"));
        QCOMPARE(box.text, QString("Heritability out of range"));
        // the message belongs to the box, which gets the focus back with the value reset
        QCOMPARE(box.owner.data(), options->H2Text);
        QCOMPARE(options->focusWidget(), options->H2Text);
        QVERIFY(options->isVisible());
        QCOMPARE(options->H2Text->text(), QString("1"));
        QCOMPARE(options->H2Text->selectedText(), QString("1"));
        QCOMPARE(s.heritability, 1.0f);
        // the check boxes were not stored
        QCOMPARE(s.biasCorrection, true);
        QCOMPARE(s.scaledAnalysis, false);
        QCOMPARE(s.showMatrices, false);
    }

    void defaultThenCloseKeepsTheStoredFlags()
    {
        type("0.25");
        options->CheckBias->setChecked(false);
        options->CheckScaling->setChecked(true);
        options->CheckOutput->setChecked(true);
        options->btnOK->click();

        QVERIFY(h->trigger("mnuOpt"));
        QCOMPARE(options->H2Text->text(), QString("0.25"));
        QVERIFY(!options->CheckBias->isChecked());
        QVERIFY(options->CheckScaling->isChecked());
        options->btnDefault->click();
        QCOMPARE(options->H2Text->text(), QString("1"));
        QVERIFY(options->CheckBias->isChecked());
        QVERIFY(!options->CheckScaling->isChecked());
        QVERIFY(!options->CheckOutput->isChecked());
        options->close();

        const AnalysisSettings& s = h->state.settings;
        QCOMPARE(s.heritability, 1.0f);
        QCOMPARE(s.biasCorrection, false);
        QCOMPARE(s.scaledAnalysis, true);
        QCOMPARE(s.showMatrices, true);
    }

    // The box stores what is typed; closing the dialog without OK must not let a run use it.
    void aHeritabilityOutOfRangeLeftByTheCloseControlStartsNoRun_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("above 1") << "5";
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-0.5";
    }

    void aHeritabilityOutOfRangeLeftByTheCloseControlStartsNoRun()
    {
        QFETCH(QString, text);
        const QString report = h->text();
        type(text);
        options->close();
        QVERIFY(h->trigger("mnuRun"));
        QTest::mouseClick(h->analysisDialog()->btnRun, Qt::LeftButton);
        QVERIFY(!h->window->isRunning());
        QCOMPARE(h->prompts.shown().size(), 1);
        QCOMPARE(h->prompts.shown().front().icon, UserPrompts::Icon::Critical);
        QCOMPARE(h->prompts.shown().front().text, QString("Heritability out of range"));
        QCOMPARE(h->text(), report);
        h->analysisDialog()->close();
    }

    void tabFollowsTheControlsTopToBottomAndTheBoxesHaveAccessKeys()
    {
        // the order the user sees: by row, then from the left
        QList<QWidget*> shown{options->H2Text,
                              options->CheckBias,
                              options->CheckScaling,
                              options->CheckOutput,
                              options->btnOK,
                              options->btnDefault};
        std::sort(shown.begin(), shown.end(), [this](QWidget* a, QWidget* b) {
            const QPoint pa = a->mapTo(options, QPoint(0, 0));
            const QPoint pb = b->mapTo(options, QPoint(0, 0));
            return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
        });
        QCOMPARE(options->focusWidget(), shown.front());
        for (int i = 1; i < shown.size(); ++i) {
            QTest::keyClick(options->focusWidget(), Qt::Key_Tab);
            QCOMPARE(options->focusWidget(), shown[i]);
        }

        // Alt and the underlined letter toggles each box
        options->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(options));
        for (QCheckBox* box : {options->CheckBias, options->CheckScaling, options->CheckOutput}) {
            const int amp = box->text().indexOf(QLatin1Char('&'));
            QVERIFY2(amp >= 0, qPrintable(box->text()));
            const bool before = box->isChecked();
            QTest::keyClick(options->focusWidget(),
                            box->text().at(amp + 1).toLower().toLatin1(),
                            Qt::AltModifier);
            QTRY_VERIFY2(box->isChecked() != before, qPrintable(box->text()));
        }
    }

    void enterInTheHeritabilityBoxMovesToOkAndASecondEnterPressesIt()
    {
        QCOMPARE(options->focusWidget(), options->H2Text);
        type("0.75");
        QTest::keyClick(options->H2Text, Qt::Key_Return);
        QVERIFY(options->isVisible());
        QCOMPARE(options->focusWidget(), options->btnOK);
        QTest::keyClick(options->btnOK, Qt::Key_Return);
        QVERIFY(!options->isVisible());
        QCOMPARE(h->state.settings.heritability, 0.75f);
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
