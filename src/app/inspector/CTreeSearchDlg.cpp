#include "app/inspector/CTreeSearchDlg.h"

#include "app/inspector/TreeSearch.h"

#include "analysis/LineFormat.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

CTreeSearchDlg::CTreeSearchDlg(const CResultTree& tree, std::function<ItemId()> current,
                               std::function<void(ItemId)> found, std::function<ItemId(uint32_t)> packLine,
                               QWidget* parent)
    : QDialog(parent), m_tree(tree), m_current(std::move(current)), m_found(std::move(found)),
      m_packLine(std::move(packLine))
{
    setWindowTitle(QStringLiteral("Find in the tree"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_pText = new QLineEdit(this);
    m_pPack = new QLineEdit(this);
    form->addRow(QStringLiteral("Line containing:"), m_pText);
    auto* packRow = new QHBoxLayout;
    auto* goPack = new QPushButton(QStringLiteral("Go to pack"), this);
    packRow->addWidget(m_pPack, 1);
    packRow->addWidget(goPack);
    form->addRow(QStringLiteral("Pack number:"), packRow);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    m_pPrevious = new QPushButton(QStringLiteral("Previous"), this);
    m_pNext = new QPushButton(QStringLiteral("Next"), this);
    m_pCancel = new QPushButton(QStringLiteral("Stop"), this);
    m_pNext->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(m_pPrevious);
    buttons->addWidget(m_pNext);
    buttons->addWidget(m_pCancel);
    layout->addLayout(buttons);
    m_pProgress = new QProgressBar(this);
    m_pProgress->setRange(0, 100);
    m_pProgress->hide();
    layout->addWidget(m_pProgress);
    m_pStatus = new QLabel(this);
    // Long places wrap: the dialog keeps its size and its place beside the main window.
    m_pStatus->setWordWrap(true);
    layout->addWidget(m_pStatus);
    m_pCancel->setEnabled(false);

    connect(m_pNext, &QPushButton::clicked, this, [this] { Find(true); });
    connect(m_pPrevious, &QPushButton::clicked, this, [this] { Find(false); });
    connect(m_pCancel, &QPushButton::clicked, this, [this] { m_stop.store(true); });
    connect(goPack, &QPushButton::clicked, this, [this] { GoToPack(m_pPack->text()); });
    // Enter does what the field it is pressed in is for (the dialog would press "Next").
    m_pText->installEventFilter(this);
    m_pPack->installEventFilter(this);
    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        const uint32_t total = std::max<uint32_t>(m_tree.Count(), 1);
        m_pProgress->setValue(static_cast<int>(uint64_t{m_visited.load()} * 100 / total));
        if (m_pThread && m_pThread->isFinished())
            OnThreadDone();
    });
}

bool CTreeSearchDlg::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_pText || watched == m_pPack) && event->type() == QEvent::KeyPress)
    {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) == 0)
        {
            if (watched == m_pPack)
                GoToPack(m_pPack->text());
            else
                Find(!(key->modifiers() & Qt::ShiftModifier));  // Shift+Enter looks backwards
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString CTreeSearchDlg::PlaceOf(ItemId line) const
{
    // Under its pack, where it has one; else the branches above it.
    QStringList above;
    for (ItemId p = m_tree.Parent(line); p != kNoItem; p = m_tree.Parent(p))
    {
        if (m_tree.Format(p) == LineFmt::PackNumber)
            return QStringLiteral("under ") + QString::fromStdString(LineText(m_tree, p));
        if (m_tree.Parent(p) != kNoItem)  // the root line names the file
            above.prepend(QString::fromStdString(LineText(m_tree, p)));
    }
    return above.isEmpty() ? QStringLiteral("at the top of the tree")
                           : QStringLiteral("under ") + above.join(QStringLiteral(" > "));
}

CTreeSearchDlg::~CTreeSearchDlg()
{
    Stop();
}

QString CTreeSearchDlg::Status() const
{
    return m_pStatus->text();
}

void CTreeSearchDlg::Find(bool forward)
{
    const QString needle = m_pText->text();
    if (m_pThread != nullptr || needle.isEmpty())
        return;
    if (m_tree.Count() == 0)
    {
        m_pStatus->setText(QStringLiteral("The tree is empty."));
        return;
    }
    m_needle = needle;
    m_stop.store(false);
    m_visited.store(0);
    m_result = kNoItem;
    const ItemId from = m_current ? m_current() : kNoItem;
    const std::string text = needle.toLocal8Bit().toStdString();
    m_pThread = QThread::create([this, from, text, forward] {
        m_result = treesearch::FindLine(m_tree, from, text, forward, m_stop, m_visited);
    });
    connect(m_pThread, &QThread::finished, this, &CTreeSearchDlg::OnThreadDone);
    m_pNext->setEnabled(false);
    m_pPrevious->setEnabled(false);
    m_pCancel->setEnabled(true);
    m_pProgress->setValue(0);
    m_pProgress->show();
    m_pStatus->setText(QStringLiteral("Searching..."));
    m_poll.start();
    m_pThread->start();
}

void CTreeSearchDlg::Stop()
{
    if (m_pThread == nullptr)
        return;
    m_stop.store(true);
    m_pThread->wait();
    OnThreadDone();
}

void CTreeSearchDlg::OnThreadDone()
{
    if (m_pThread == nullptr || !m_pThread->isFinished())
        return;
    m_poll.stop();
    m_pThread->deleteLater();
    m_pThread = nullptr;
    m_pNext->setEnabled(true);
    m_pPrevious->setEnabled(true);
    m_pCancel->setEnabled(false);
    m_pProgress->hide();
    if (m_result != kNoItem)
    {
        m_pStatus->setText(QStringLiteral("Found \"%1\" %2.").arg(m_needle, PlaceOf(m_result)));
        if (m_found)
            m_found(m_result);
    }
    else
        m_pStatus->setText(m_stop.load() ? QStringLiteral("Search stopped.")
                                         : QStringLiteral("No line contains \"%1\".").arg(m_needle));
    emit SearchEnded(m_result);
}

bool CTreeSearchDlg::GoToPack(const QString& number)
{
    bool ok = false;
    const uint32_t n = number.trimmed().toUInt(&ok);
    const ItemId line = ok && m_packLine ? m_packLine(n) : kNoItem;
    if (line == kNoItem)
    {
        m_pStatus->setText(QStringLiteral("No pack %1 in the tree.").arg(number.trimmed()));
        return false;
    }
    m_pStatus->setText(QStringLiteral("PACK #%1.").arg(n));
    if (m_found)
        m_found(line);
    return true;
}
