// A window with every drawn control on the dialog background, for looking at them:
//   varnodel-controls-gallery [--hover] [--save FILE]
// --hover moves the pointer onto the "analyze" button once the window is up; --save
// writes the window's image to FILE and quits.

#include "controls/CHoverEdit.h"
#include "controls/CMaskedPicture.h"
#include "controls/CQuimbelButton.h"
#include "controls/CSkinDialog.h"
#include "controls/DialogUnits.h"
#include "controls/Resources.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>

namespace
{
template <typename W>
W* Place(W* widget, const QRect& dlu, const QFont& font)
{
    widget->setGeometry(DluToPixels(dlu, font));
    return widget;
}

CQuimbelButton* Button(CSkinDialog* dialog, const QString& text, const QRect& dlu, int style,
                       bool transparent)
{
    auto* b = Place(new CQuimbelButton(text, dialog), dlu, dialog->font());
    b->m_nFrameStyle = style;
    b->m_bTransparent = transparent;
    return b;
}
}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool hover = args.contains(QStringLiteral("--hover"));
    const int saveAt = args.indexOf(QStringLiteral("--save"));
    const QString saveTo = saveAt > 0 && saveAt + 1 < args.size() ? args[saveAt + 1] : QString();

    CSkinDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Varnodel controls"));
    dialog.setWindowIcon(Res::AppIcon());
    QFont font = dialog.font();
    font.setPointSize(8);
    dialog.setFont(font);
    dialog.resize(DluToPixels(QSize(260, 150), font));

    Place(new QLabel(QStringLiteral("File name:"), &dialog), QRect(7, 9, 40, 8), font);
    auto* name = Place(new CHoverEdit(&dialog), QRect(48, 7, 150, 12), font);
    name->SetFillColor(QColor(240, 210, 210));
    name->setText(QStringLiteral("/home/user/video/concert.vob"));
    Button(&dialog, QStringLiteral("..."), QRect(201, 7, 16, 12), 1, true);

    auto* analyze = Button(&dialog, QStringLiteral("analyze"), QRect(7, 26, 50, 14), 2, true);
    auto* stop = Button(&dialog, QStringLiteral("stop"), QRect(61, 26, 50, 14), 2, true);
    stop->setEnabled(false);
    Button(&dialog, QStringLiteral("options"), QRect(115, 26, 50, 14), 2, true);
    Button(&dialog, QStringLiteral("exit"), QRect(169, 26, 50, 14), 2, true);

    Button(&dialog, QStringLiteral("raised"), QRect(7, 46, 50, 14), 4, false);
    Button(&dialog, QStringLiteral("style 3"), QRect(61, 46, 50, 14), 3, true);
    Button(&dialog, QStringLiteral("opaque"), QRect(115, 46, 50, 14), 2, false);
    Button(&dialog, QStringLiteral("3-D"), QRect(169, 46, 50, 14), 0, false);

    Place(new QCheckBox(QStringLiteral("Save start directory"), &dialog), QRect(7, 68, 90, 10), font)
        ->setChecked(true);
    auto* group = Place(new QGroupBox(&dialog), QRect(7, 79, 150, 50), font);
    group->setFlat(true);
    const QFont groupFont = group->font();
    auto* first = Place(new QRadioButton(QStringLiteral("Analyze"), group), QRect(10, 12, 40, 10), groupFont);
    first->setChecked(true);
    auto* count = Place(new CHoverEdit(group), QRect(52, 11, 30, 12), groupFont);
    count->setText(QStringLiteral("100"));
    Place(new QLabel(QStringLiteral("PES packets"), group), QRect(86, 13, 50, 8), groupFont);
    Place(new QRadioButton(QStringLiteral("Analyze complete stream"), group), QRect(10, 30, 100, 10), groupFont);

    auto* logo = new CMaskedPicture(&dialog);
    logo->m_nPicture = Res::IDB_LOGO;
    logo->m_nMask = Res::IDB_LOGOMASK;
    logo->setGeometry(QRect(DluToPixels(QRect(165, 100, 0, 0), font).topLeft(), QSize(150, 46)));

    dialog.SetBackgroundBitmap(Res::IDB_BACKGROUND);
    dialog.show();

    if (hover)
        QTimer::singleShot(400, [analyze] {
            QCursor::setPos(analyze->mapToGlobal(QPoint(analyze->width() / 3, analyze->height() / 2)));
        });
    if (!saveTo.isEmpty())
        QTimer::singleShot(900, [&dialog, saveTo] {
            dialog.grab().save(saveTo);
            QApplication::quit();
        });
    return app.exec();
}
