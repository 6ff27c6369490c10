#pragma once
// The options dialog: how many packs an analysis reads and whether the file chooser
// remembers its folder. It edits the caller's copies and never touches the settings
// store; the caller stores the values when the dialog ends with "save options".

#include "controls/CHoverEdit.h"
#include "controls/CQuimbelButton.h"
#include "controls/CSkinDialog.h"

#include <QIcon>

#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;

class COptionsDlg : public CSkinDialog
{
    Q_OBJECT
public:
    explicit COptionsDlg(QWidget* parent = nullptr);
    ~COptionsDlg() override;

    void setVisible(bool visible) override;

    // Reads the controls into the members (bSaveAndValidate) or writes the members into
    // the controls. Reading fails, changing nothing, when the count is not an integer.
    bool UpdateData(bool bSaveAndValidate = true);

    // "save options": the dialog's OK command.
    void accept() override;

    // Values exchanged with the caller.
    int32_t m_nMaxPackets = 0;
    int m_bSaveIn = 0;
    QIcon m_hIcon;

    // Controls, in template order.
    CQuimbelButton m_btnOK;        // "save options"
    CQuimbelButton m_btnCancel;    // "cancel", the template's default button
    CQuimbelButton m_btnDefaults;  // "set defaults"
    QCheckBox* m_pCheckSaveIn = nullptr;
    QRadioButton* m_pRadioAnalyze = nullptr;
    CHoverEdit m_editCount;
    QLabel* m_pLabelPackets = nullptr;
    QRadioButton* m_pRadioComplete = nullptr;
    QGroupBox* m_pGroup = nullptr;

    // The text of the message shown when the count cannot be read.
    static const char* const kIntegerMessage;

protected:
    virtual bool OnInitDialog();
    void OnAnalyzeClicked();
    void OnCompleteClicked();
    void OnSetDefaults();

private:
    bool m_bInitDone = false;
};
