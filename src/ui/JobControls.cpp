#include "ui/JobControls.h"

#include "ui/QtText.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include <charconv>
#include <string>

namespace tavrik {

QPushButton* newButton(QWidget* window, const QString& caption, const char* objectName)
{
    auto* button = new QPushButton(caption, window);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QTableWidget* newResultTable(QWidget* window, const char* objectName)
{
    auto* table = new QTableWidget(window);
    table->setObjectName(QString::fromLatin1(objectName));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    return table;
}

void setTableRow(QTableWidget* table, int row, const QStringList& cells, int firstNumber)
{
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (c >= firstNumber) {
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        table->setItem(row, c, item);
    }
}

void addLabelled(QWidget* window, QBoxLayout* row, const QString& caption, QWidget* control)
{
    auto* label = new QLabel(caption, window);
    label->setBuddy(control);
    row->addWidget(label);
    row->addWidget(control);
}

std::optional<std::uint64_t> seedIn(QLineEdit* box, UserPrompts& prompts)
{
    const std::string text = toStd(box->text().trimmed());
    std::uint64_t seed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
        prompts.message(
            box,
            UserPrompts::Icon::Critical,
            QObject::tr("Error"),
            QObject::tr("The seed \"%1\" is not a whole number from 0 to 18446744073709551615.")
                .arg(box->text()));
        return std::nullopt;
    }
    return seed;
}

QProgressBar* newProgressBar(QWidget* window, const char* objectName)
{
    auto* bar = new QProgressBar(window);
    bar->setObjectName(QString::fromLatin1(objectName));
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

QHBoxLayout* progressRow(QProgressBar* bar, QPushButton* cancel)
{
    auto* row = new QHBoxLayout;
    row->addWidget(bar, 1);
    row->addWidget(cancel);
    return row;
}

void showJobStep(QProgressBar* bar, quint64 done, quint64 total)
{
    if (total > 0) {
        bar->setValue(static_cast<int>(done * 100 / total));
    }
}

bool showJobEnd(QProgressBar* bar, const Error* error, UserPrompts& prompts, QWidget* owner)
{
    if (error == nullptr) {
        bar->setValue(100);
        return true;
    }
    bar->setValue(0);
    if (error->kind != ErrorKind::Cancelled) {
        prompts.message(
            owner, UserPrompts::Icon::Critical, QObject::tr("Error"), toQt(error->message));
    }
    return false;
}

} // namespace tavrik
