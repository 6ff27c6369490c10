#pragma once
// The about box: program, version and build date, maker. Opened from the main
// dialog's window menu, closed with its single button, Escape or the close box.

#include "controls/CQuimbelButton.h"
#include "controls/CSkinDialog.h"

class QLabel;

class CAboutDlg : public CSkinDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

    void setVisible(bool visible) override;

    static constexpr const char* kVersionLine = "V1.1.2a at 010515";

    CQuimbelButton m_btnOK;  // "sure, fine !"
    QLabel* m_pIcon = nullptr;
    QLabel* m_pVersion = nullptr;

protected:
    virtual bool OnInitDialog();

private:
    bool m_bInitDone = false;
};
