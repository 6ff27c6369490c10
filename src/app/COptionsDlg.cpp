#include "app/COptionsDlg.h"

#include "app/ModalRun.h"

#include "app/DialogFont.h"
#include "controls/DialogUnits.h"
#include "controls/Resources.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QRegularExpressionValidator>

const char* const COptionsDlg::kIntegerMessage = "Please enter a whole number of packets.";

COptionsDlg::COptionsDlg(QWidget* parent)
    : CSkinDialog(parent),
      m_hIcon(Res::AppIcon()),
      m_btnOK(QStringLiteral("save options"), this),
      m_btnCancel(QStringLiteral("cancel"), this),
      m_btnDefaults(QStringLiteral("set defaults"), this),
      m_editCount(this)
{
    setWindowTitle(QStringLiteral("Options"));
    setFont(DialogFont());
    setFixedSize(DluToPixels(QSize(179, 95), font()));

    m_btnOK.setGeometry(DialogRect(*this, 65, 75, 50, 14));
    m_btnCancel.setGeometry(DialogRect(*this, 125, 75, 50, 14));
    m_btnDefaults.setGeometry(DialogRect(*this, 5, 75, 50, 14));

    m_pCheckSaveIn = new QCheckBox(QStringLiteral("Save start directory"), this);
    m_pCheckSaveIn->setGeometry(DialogRect(*this, 5, 5, 77, 10));

    m_pRadioAnalyze = new QRadioButton(QStringLiteral("Analyze"), this);
    m_pRadioAnalyze->setGeometry(DialogRect(*this, 15, 30, 41, 10));
    m_pRadioAnalyze->setFocusPolicy(Qt::ClickFocus);

    m_editCount.setGeometry(DialogRect(*this, 60, 28, 40, 12));
    // Digits only, as typed; a number written by the program (a negative count) still shows.
    m_editCount.setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), &m_editCount));

    m_pLabelPackets = new QLabel(QStringLiteral("PES packets"), this);
    m_pLabelPackets->setGeometry(DialogRect(*this, 108, 30, 50, 10));

    m_pRadioComplete = new QRadioButton(QStringLiteral("Analyze complete stream"), this);
    m_pRadioComplete->setGeometry(DialogRect(*this, 15, 48, 94, 10));
    m_pRadioComplete->setFocusPolicy(Qt::ClickFocus);

    // The frame comes last in the template but must not cover the controls inside it.
    m_pGroup = new QGroupBox(this);
    m_pGroup->setFlat(true);
    m_pGroup->setGeometry(DialogRect(*this, 5, 15, 170, 55));
    m_pGroup->lower();

    // The two radio buttons share a parent and so exclude each other.
    m_pRadioAnalyze->setAutoExclusive(true);
    m_pRadioComplete->setAutoExclusive(true);

    // Tab stops in template order.
    m_btnCancel.setDefault(true);
    setTabOrder(&m_btnOK, &m_btnCancel);
    setTabOrder(&m_btnCancel, &m_btnDefaults);
    setTabOrder(&m_btnDefaults, m_pCheckSaveIn);
    setTabOrder(m_pCheckSaveIn, &m_editCount);

    connect(m_pRadioAnalyze, &QRadioButton::clicked, this, &COptionsDlg::OnAnalyzeClicked);
    connect(m_pRadioComplete, &QRadioButton::clicked, this, &COptionsDlg::OnCompleteClicked);
    connect(&m_btnDefaults, &QPushButton::clicked, this, &COptionsDlg::OnSetDefaults);
    connect(&m_btnOK, &QPushButton::clicked, this, &COptionsDlg::accept);
    connect(&m_btnCancel, &QPushButton::clicked, this, &COptionsDlg::reject);
}

COptionsDlg::~COptionsDlg() = default;

void COptionsDlg::setVisible(bool visible)
{
    // The values are handed over between construction and showing, so the dialog
    // initialises itself right before it first appears.
    if (visible && !m_bInitDone)
    {
        m_bInitDone = true;
        OnInitDialog();
    }
    CSkinDialog::setVisible(visible);
}

bool COptionsDlg::OnInitDialog()
{
    UpdateData(false);
    setWindowIcon(m_hIcon);

    for (CQuimbelButton* button : {&m_btnOK, &m_btnCancel, &m_btnDefaults})
    {
        button->m_nFrameStyle = 2;
        button->m_bTransparent = true;
    }

    // Signed: a negative count, like 0, means the complete stream.
    if (m_nMaxPackets > 0)
        m_pRadioAnalyze->setChecked(true);
    else
        m_pRadioComplete->setChecked(true);

    SetBackgroundBitmap(Res::IDB_BACKGROUND);
    m_btnOK.setFocus();
    return true;
}

bool COptionsDlg::UpdateData(bool bSaveAndValidate)
{
    if (!bSaveAndValidate)
    {
        m_editCount.setText(QString::number(m_nMaxPackets));
        m_pCheckSaveIn->setChecked(m_bSaveIn != 0);
        return true;
    }

    bool ok = false;
    const int count = m_editCount.text().trimmed().toInt(&ok, 10);
    if (!ok)
    {
        QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), QString::fromLatin1(kIntegerMessage),
                        QMessageBox::Ok, this);
        ExecOverParent(box);
        m_editCount.setFocus();
        m_editCount.selectAll();
        return false;
    }
    m_nMaxPackets = count;
    m_bSaveIn = m_pCheckSaveIn->isChecked() ? 1 : 0;
    return true;
}

void COptionsDlg::accept()
{
    // A count of 0 is how "complete stream" is stored; whatever the field held.
    if (m_pRadioComplete->isChecked())
    {
        m_nMaxPackets = 0;
        m_editCount.setText(QStringLiteral("0"));
    }
    if (!UpdateData(true))
        return;
    CSkinDialog::accept();
}

void COptionsDlg::OnAnalyzeClicked()
{
    m_editCount.setEnabled(true);
}

void COptionsDlg::OnCompleteClicked()
{
    m_editCount.setEnabled(false);
}

void COptionsDlg::OnSetDefaults()
{
    m_bSaveIn = 1;
    m_nMaxPackets = 100;
    UpdateData(false);
    m_pRadioAnalyze->setChecked(true);
}
