// The controls and steps that the windows of the further analyses share: buttons and result
// tables made the same way, a caption beside its control, the seed box, and the progress bar
// and Cancel of a job that runs in the background (the bootstrap, the Mantel test).
#pragma once

#include "state/Result.h"
#include "ui/UserPrompts.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class QBoxLayout;
class QHBoxLayout;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QWidget;

namespace tavrik {

QPushButton* newButton(QWidget* window, const QString& caption, const char* objectName);
// Read-only, without row numbers.
QTableWidget* newResultTable(QWidget* window, const char* objectName);
// One row of a result table: the cells from firstNumber on are numbers, aligned right.
void setTableRow(QTableWidget* table, int row, const QStringList& cells, int firstNumber);
// The caption (its mnemonic moving to control), then the control.
void addLabelled(QWidget* window, QBoxLayout* row, const QString& caption, QWidget* control);

// The seed in the box. A text that is not a whole number from 0 to 18446744073709551615 is
// reported (the focus then returns to the box) and gives nullopt.
std::optional<std::uint64_t> seedIn(QLineEdit* box, UserPrompts& prompts);

// A bar from 0 to 100 per cent, at 0.
QProgressBar* newProgressBar(QWidget* window, const char* objectName);
// The bar, stretched, then Cancel.
QHBoxLayout* progressRow(QProgressBar* bar, QPushButton* cancel);
// Steps done out of total; nothing while the total is unknown.
void showJobStep(QProgressBar* bar, quint64 done, quint64 total);
// The end of a job (error null: it succeeded): the bar full, or empty with the error shown
// unless it is the user's Cancel (the focus then returns to owner). Returns whether the job
// succeeded.
bool showJobEnd(QProgressBar* bar, const Error* error, UserPrompts& prompts, QWidget* owner);

} // namespace tavrik
