// The Import CSV dialog: which column holds the populations, which columns become the
// variables, the title, and a census size for every population. It names the columns that are
// not numeric with their first bad cell, previews the populations with their sample sizes,
// counts the missing values that become NA, by variable, names the rows that would be left
// out (which the user must agree to), checks census sizes as they are typed and the
// population names a data file cannot hold, and says why Import is off when it is. Column indices
// are 0-based, as in the CSV table.
#pragma once

#include "datafile/CsvImport.h"
#include "ui/UserPrompts.h"

#include <QDialog>

#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace tavrik {

class ImportCsvDialog : public QDialog
{
    Q_OBJECT
public:
    ImportCsvDialog(CsvTable table, UserPrompts& prompts, QWidget* parent = nullptr);

    // The text of the .tvk file built when Import was pressed; empty before.
    const std::string& tvkText() const { return m_tvkText; }

    QLabel* lblFile = nullptr;
    QComboBox* cboPopulation = nullptr;
    QListWidget* lstVariables = nullptr;
    QLineEdit* txtTitle = nullptr;
    QTableWidget* tblPopulations = nullptr;
    QLabel* lblVariablesHint = nullptr;
    QLabel* lblPopulationsHint = nullptr;
    QLabel* lblCensus = nullptr;  // names and census sizes refused, sizes of no weight
    QLabel* lblWarning = nullptr; // columns that are not numeric, names changed
    QLabel* lblMissing = nullptr; // missing values written as NA, by variable
    QLabel* lblLeftOut = nullptr;
    QLabel* lblImportOff = nullptr; // why Import is disabled
    QCheckBox* chkLeaveOut = nullptr;
    QPushButton* btnImport = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    // The parts of the dialog from the top down; each creates its widgets in the tab order.
    QFormLayout* createChoices(const ImportPlan& plan);
    QGroupBox* createVariablesBox();
    QGroupBox* createPopulationsBox();
    void createNotes();
    QHBoxLayout* createButtons();

    void populationChanged(int index);
    void variableToggled(QListWidgetItem* item);
    void censusEdited(QTableWidgetItem* item);
    void censusTyped(int row, const QString& text);
    void censusClosed();
    void checkCensus();
    void showWarning();
    void showMissing();
    void fillVariables();
    void refresh();
    void updateImportButton();
    void importClicked();
    std::vector<std::size_t> chosenVariables() const;

    CsvTable m_table;
    UserPrompts& m_prompts;
    std::size_t m_populationColumn = 0;
    std::vector<bool> m_chosen; // by column: ticked as a variable
    ImportPreview m_preview;
    QString m_previewError; // the preview could not be made: the file cannot be read again
    bool m_censusValid = true;
    bool m_namesValid = true;                    // every population name is one a data file holds
    std::vector<long> m_leftOutLines;            // the lines the leave-out tick was given for
    std::map<std::string, QString> m_censusText; // by population, as typed; kept over refreshes
    std::string m_tvkText;
    bool m_filling = false; // the lists are being filled, not edited by the user
};

} // namespace tavrik
