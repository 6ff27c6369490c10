#include "app/CAboutDlg.h"

#include "app/DialogFont.h"
#include "controls/DialogUnits.h"
#include "controls/Resources.h"

#include <QLabel>

namespace
{
// The lines in the band beside the icon, top to bottom: program, what it reads, maker.
struct AboutLine
{
    const char* text;
    int y;
};
constexpr AboutLine kLines[] = {
    {"Varnodel - MPEG stream analyser", 10},
    {"MPEG-1/MPEG-2 program streams,", 27},
    {"video elementary streams and MPEG audio", 37},
    {"made by corvax quelbor", 55},
};
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : CSkinDialog(parent), m_btnOK(QStringLiteral("sure, fine !"), this)
{
    setWindowTitle(QStringLiteral("About Varnodel"));
    setFont(DialogFont());
    setFixedSize(DluToPixels(QSize(235, 90), font()));

    m_pIcon = new QLabel(this);
    const QRect iconRect = DialogRect(*this, 7, 7, 20, 20);
    m_pIcon->setGeometry(iconRect);
    const int side = std::min(iconRect.width(), iconRect.height());
    m_pIcon->setPixmap(Res::AppIcon().pixmap(side, side));
    m_pIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_btnOK.setGeometry(DialogRect(*this, 178, 7, 50, 14));
    m_btnOK.setDefault(true);

    m_pVersion = new QLabel(QString::fromLatin1(kVersionLine), this);
    m_pVersion->setGeometry(DialogRect(*this, 168, 75, 60, 8));

    for (const AboutLine& line : kLines)
    {
        auto* label = new QLabel(QString::fromLatin1(line.text), this);
        label->setGeometry(DialogRect(*this, 35, line.y, 191 - 35, 10));
    }

    connect(&m_btnOK, &QPushButton::clicked, this, &CAboutDlg::accept);
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::setVisible(bool visible)
{
    if (visible && !m_bInitDone)
    {
        m_bInitDone = true;
        OnInitDialog();
    }
    CSkinDialog::setVisible(visible);
}

bool CAboutDlg::OnInitDialog()
{
    m_btnOK.m_nFrameStyle = 2;
    m_btnOK.m_bTransparent = true;
    SetBackgroundBitmap(Res::IDB_BACKGROUND);
    m_btnOK.setFocus();
    return true;
}
