// The inspector on whole DVD-Video discs authored by dvdauthor at test time: the Disc tab
// against the command line's summary, a cell's bytes in the file of its VOB set that
// holds them, the findings of an entry, a fault seeded in a copy of a disc under its
// entry, a folder that is no disc; and a VCD's CD-XA file, whose packs and units are
// found at their offsets in the file.

#include "AppTestSupport.h"

#include "app/inspector/CByteView.h"
#include "app/inspector/CInspectTables.h"
#include "app/inspector/CInspectorWindow.h"
#include "app/inspector/CPlotWidget.h"
#include "app/inspector/InspectDisc.h"
#include "support/TestFiles.h"

#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace
{

const QString kDiscs = QStringLiteral(VARNODEL_DISCS);

QString Disc(const char* name)
{
    return kDiscs + QLatin1Char('/') + QLatin1String(name);
}

// What the command line prints for a disc.
QStringList Cli(const QStringList& args)
{
    QProcess cli;
    cli.start(QStringLiteral(VARNODEL_CLI), args);
    if (!cli.waitForFinished(60000))
        return {};
    return QString::fromUtf8(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void Open(CInspectorWindow& w, const QString& path)
{
    w.Inspect(path);
    w.WaitForPass();
}

// The lines of an item's entries (not its findings).
QList<QTreeWidgetItem*> Entries(QTreeWidgetItem* parent)
{
    QList<QTreeWidgetItem*> out;
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->data(0, CInspectorWindow::kEntryRole).toInt() >= 0)
            out << parent->child(i);
    return out;
}

QList<QTreeWidgetItem*> TopEntries(QTreeWidget* tree)
{
    QList<QTreeWidgetItem*> out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        out << tree->topLevelItem(i);
    return out;
}

// The entry whose line starts with "NAME:" among items.
QTreeWidgetItem* Named(const QList<QTreeWidgetItem*>& items, const QString& name)
{
    for (QTreeWidgetItem* item : items)
        if (item->text(0).startsWith(name + QLatin1Char(':')) || item->text(0) == name)
            return item;
    return nullptr;
}

QTreeWidgetItem* CellItem(CInspectorWindow& w, int title, int pgc, int cell)
{
    QTreeWidgetItem* t = Named(TopEntries(w.DiscTree()), QStringLiteral("Title %1").arg(title));
    QTreeWidgetItem* p = t ? Named(Entries(t), QStringLiteral("PGC %1").arg(pgc)) : nullptr;
    return p ? Named(Entries(p), QStringLiteral("Cell %1").arg(cell)) : nullptr;
}

// The findings lines under an item, as the check report writes them.
QStringList FindingLines(QTreeWidgetItem* item)
{
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        if (item->child(i)->data(0, CInspectorWindow::kFindingRole).isValid())
            out << item->child(i)->text(0);
    return out;
}

// The rows the findings table shows: file and check of each.
QStringList TableRows(const CInspectorWindow& w)
{
    QStringList out;
    const QAbstractItemModel* m = w.FindingsFilter();
    for (int row = 0; row < m->rowCount(); ++row)
        out << m->index(row, CFindingsModel::ColFile).data().toString() + QLatin1Char(' ') +
                   m->index(row, CFindingsModel::ColCheck).data().toString();
    return out;
}

uint32_t Be32(const Bytes& b, size_t at)
{
    return (uint32_t{b.at(at)} << 24) | (uint32_t{b.at(at + 1)} << 16) | (uint32_t{b.at(at + 2)} << 8) | b.at(at + 3);
}

// A copy of an authored disc, to seed a fault in.
class DiscCopy
{
public:
    explicit DiscCopy(const char* name)
    {
        fs::create_directories(Folder());
        for (const auto& e : fs::directory_iterator(fs::path(Disc(name).toStdString()) / "VIDEO_TS"))
            fs::copy_file(e.path(), Folder() / e.path().filename());
    }
    fs::path Folder() const { return fs::path(m_dir.Path()) / "VIDEO_TS"; }
    QString Root() const { return QString::fromStdString(m_dir.Path()); }
    // Changes an IFO and its BUP alike.
    void Edit(const std::string& ifo, const std::function<void(Bytes&)>& change) const
    {
        Bytes b = ReadWholeFile((Folder() / ifo).string());
        change(b);
        m_dir.Write("VIDEO_TS/" + ifo, b);
        m_dir.Write("VIDEO_TS/" + ifo.substr(0, ifo.size() - 3) + "BUP", b);
    }

private:
    TempDir m_dir;
};

}  // namespace

class InspectorDiscTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void theDiscTabListsWhatTheSummaryLists()
    {
        CInspectorWindow w;
        Open(w, Disc("disc"));
        QVERIFY2(w.Message().isEmpty(), qPrintable(w.Message()));
        QVERIFY(w.Result() && w.Result()->disc);
        const QStringList summary = Cli({QStringLiteral("--disc"), Disc("disc")});
        QVERIFY(!summary.isEmpty());

        // The titles at the top, in order, as the summary has them; under each, the PGCs
        // its chapters play, and under each PGC the cells its chapters list.
        QStringList titles;
        QMap<QString, QMap<QString, QStringList>> cells;  // title -> "PGC n" -> cell lines
        QString title, pgc;
        for (const QString& line : summary)
        {
            if (line.startsWith(QLatin1String("Title ")) && !line.startsWith(QLatin1String("Title set")))
            {
                titles << line;
                title = line.section(QLatin1Char(':'), 0, 0);
            }
            else if (line.startsWith(QLatin1String("  Chapter ")))
                pgc = line.section(QLatin1String(": "), 1).section(QLatin1Char(','), 0, 0);
            else if (line.startsWith(QLatin1String("    Cell ")))
                cells[title][pgc] << line.trimmed();
        }
        QCOMPARE(titles.size(), 3);
        const QList<QTreeWidgetItem*> top = TopEntries(w.DiscTree());
        QStringList shownTitles;
        for (QTreeWidgetItem* item : top)
            if (item->text(0).startsWith(QLatin1String("Title ")))
                shownTitles << item->text(0);
        QCOMPARE(shownTitles, titles);
        for (QTreeWidgetItem* t : top)
        {
            if (!t->text(0).startsWith(QLatin1String("Title ")))
                continue;
            const QString name = t->text(0).section(QLatin1Char(':'), 0, 0);
            QStringList pgcs;
            for (QTreeWidgetItem* p : Entries(t))
            {
                const QString pgcName = p->text(0).section(QLatin1Char(':'), 0, 0);
                pgcs << pgcName;
                QStringList shown;
                for (QTreeWidgetItem* c : Entries(p))
                    shown << c->text(0);
                QCOMPARE(shown, cells[name][pgcName]);
            }
            QCOMPARE(pgcs, QStringList(cells[name].keys()));
        }

        // The totals are the check report's, and the table's rows its findings with
        // their files, in its order.
        const QStringList check = Cli({QStringLiteral("--check"), Disc("disc")});
        QVERIFY(w.SummaryLabel()->text().startsWith(check.last()));
        QStringList reported;
        QString file;
        for (const QString& line : check.mid(0, check.size() - 1))
            if (line.endsWith(QLatin1Char(':')))
                file = line.chopped(1);
            else
                reported << file + QLatin1Char(' ') + line.section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty);
        QVERIFY(!reported.isEmpty());
        w.FindingsView()->sortByColumn(CFindingsModel::ColFile, Qt::AscendingOrder);
        QCOMPARE(TableRows(w), reported);

        // Every finding is under some entry: a stream's under the cell whose sectors hold
        // it (the clocks that turn where title 1's second and third VOBs start, and title
        // 2's, at sectors 211, 287 and 350).
        QTreeWidgetItem* cell3 = CellItem(w, 1, 1, 3);
        QVERIFY(cell3);
        QCOMPARE(FindingLines(cell3).size(), 1);
        QVERIFY(FindingLines(cell3).first().contains(QLatin1String("@432128")));
        int under = 0;
        for (QTreeWidgetItem* item : top)
            under += item->text(1).toInt();
        QVERIFY(under >= reported.size());

        // A VIDEO_TS.IFO path names its folder; so does the folder that holds VIDEO_TS,
        // dropped on the window.
        const auto before = w.Result();
        Open(w, Disc("disc") + QStringLiteral("/VIDEO_TS/VIDEO_TS.IFO"));
        QVERIFY(w.Result() != before && w.Result()->disc);
        QCOMPARE(TopEntries(w.DiscTree()).first()->text(0), titles.first());
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(Disc("disc"))});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // (As the window receives it: the application does not deliver a drop that no drag
        // of its own began.)
        static_cast<QObject&>(w).event(&drop);
        QVERIFY(w.IsRunning());
        w.WaitForPass();
        QCOMPARE(w.FilePath(), Disc("disc"));
        QCOMPARE(TopEntries(w.DiscTree()).size(), top.size());
    }

    void aCellShowsItsFirstPackAndItsFindings()
    {
        CInspectorWindow w;
        Open(w, Disc("disc"));
        QVERIFY2(w.Result() && w.Result()->disc, qPrintable(w.Message()));
        const inspector::DiscInspection& d = *w.Result()->disc;
        // At first the first title's set: title set 1's, over its two files.
        QVERIFY(w.ShownSet() >= 0);
        QCOMPARE(QString::fromStdString(d.sets[w.ShownSet()].name), QStringLiteral("VTS 1"));
        QCOMPARE(w.ByteView()->FileCount(), 2);

        // Title 2's only cell starts at sector 350, in whichever of VTS_01_1.VOB and
        // VTS_01_2.VOB holds it.
        const QString folder = Disc("disc") + QStringLiteral("/VIDEO_TS/");
        const uint64_t first = QFileInfo(folder + QStringLiteral("VTS_01_1.VOB")).size();
        const uint64_t at = 350 * 2048;
        const QString file = at < first ? QStringLiteral("VTS_01_1.VOB") : QStringLiteral("VTS_01_2.VOB");
        const uint64_t within = at < first ? at : at - first;
        w.DiscTree()->setCurrentItem(CellItem(w, 2, 2, 1));
        QCOMPARE(w.ByteView()->HighlightStart(), at);
        QCOMPARE(w.ByteView()->HighlightLength(), uint64_t{2048});
        uint64_t shownWithin = 0;
        QCOMPARE(w.ByteView()->FileAt(at, &shownWithin), file);
        QCOMPARE(shownWithin, within);
        const Bytes raw = ReadWholeFile((folder + file).toStdString());
        const std::vector<uint8_t> shown = w.ByteView()->Read(at, 2048);
        QVERIFY(shown == Bytes(raw.begin() + within, raw.begin() + within + 2048));
        QVERIFY(shown[0] == 0 && shown[1] == 0 && shown[2] == 1 && shown[3] == 0xBA);
        QVERIFY(w.statusBar()->currentMessage().startsWith(file + QStringLiteral(" offset %1").arg(within)));
        // Its finding, the clock of VOB 4, alone in the table and selected, while the bytes
        // stay the cell's.
        QCOMPARE(TableRows(w), QStringList{QStringLiteral("VTS_01_1.VOB time-base")});
        QCOMPARE(w.FindingsView()->currentIndex().row(), 0);
        QCOMPARE(w.ByteView()->HighlightStart(), at);
        QVERIFY(w.AllFindingsButton()->isVisible() || !w.AllFindingsButton()->isHidden());
        w.AllFindingsButton()->click();
        QCOMPARE(w.FindingsFilter()->rowCount(), w.FindingsModel()->rowCount());

        // Title 3 plays from title set 2: its set's streams and bytes take the place of
        // title set 1's (an MPEG audio stream title set 1 has not), and its second cell's
        // first pack is in VTS_02_1.VOB.
        const auto vts1 = w.Shown();
        w.DiscTree()->setCurrentItem(CellItem(w, 3, 1, 2));
        QCOMPARE(QString::fromStdString(d.sets[w.ShownSet()].name), QStringLiteral("VTS 2"));
        QVERIFY(w.Shown() != vts1);
        QCOMPARE(w.StreamsModel()->rowCount(), int(w.Shown()->streams.size()));
        QVERIFY(w.Shown()->StreamIndex(model::MakeStreamKey(0xC1)) >= 0 || w.Shown()->StreamIndex(model::MakeStreamKey(0xC0)) >= 0);
        QCOMPARE(vts1->StreamIndex(model::MakeStreamKey(0xC0)), -1);
        // Its plots are drawn, though its times span what title set 1's did.
        for (int p = 0; p < 4; ++p)
        {
            int drawn = 0;
            for (size_t k = 0; k < w.Plot(p)->SeriesCount(); ++k)
                drawn += w.Plot(p)->DrawnPoints(k);
            QVERIFY2(drawn > 0, qPrintable(QString::number(p)));
        }
        QCOMPARE(w.ByteView()->FileCount(), 1);
        QCOMPARE(w.ByteView()->HighlightStart(), uint64_t{225} * 2048);
        QCOMPARE(w.ByteView()->FileAt(225 * 2048), QStringLiteral("VTS_02_1.VOB"));

        // A finding of title set 1's, selected in the table, brings its set back.
        w.AllFindingsButton()->click();
        for (int row = 0; row < w.FindingsFilter()->rowCount(); ++row)
            if (w.FindingsFilter()->index(row, CFindingsModel::ColFile).data() == QStringLiteral("VTS_01_1.VOB"))
            {
                w.FindingsView()->selectRow(row);
                break;
            }
        QCOMPARE(w.Shown(), vts1);
        QCOMPARE(w.ByteView()->FileCount(), 2);

        // A file after the disc: its own streams and bytes, and no disc.
        TempDir dir;
        const QString clip = QString::fromStdString(dir.Write("clip.mpg", MakeSmallDvdStream(300000)));
        Open(w, clip);
        QCOMPARE(w.Shown(), w.Result());
        QCOMPARE(w.ShownSet(), -1);
        QCOMPARE(w.StreamsModel()->rowCount(), int(w.Result()->streams.size()));
        QCOMPARE(w.DiscTree()->topLevelItemCount(), 1);
        QCOMPARE(w.DiscTree()->topLevelItem(0)->flags(), Qt::NoItemFlags);
        QCOMPARE(w.ByteView()->FileSize(), static_cast<uint64_t>(QFileInfo(clip).size()));
        for (int row = 0; row < w.FindingsModel()->rowCount(); ++row)
            QCOMPARE(w.FindingsModel()->index(row, CFindingsModel::ColFile).data().toString(), QStringLiteral("clip.mpg"));
    }

    void aSeededFaultIsUnderItsCell()
    {
        // Title 1's third cell names its first VOBU as its last: the fault of that cell's
        // playback entry in VTS_01_0.IFO.
        DiscCopy copy("disc");
        size_t entry = 0;
        copy.Edit("VTS_01_0.IFO", [&](Bytes& b) {
            const size_t pgcit = size_t{Be32(b, 0xCC)} * 2048;
            const size_t pgc = pgcit + Be32(b, pgcit + 8 + 4);
            entry = pgc + ((size_t{b.at(pgc + 0xE8)} << 8) | b.at(pgc + 0xE9)) + 24 * 2;
            const uint32_t firstSector = Be32(b, entry + 8);
            for (int i = 0; i < 4; ++i)
                b.at(entry + 16 + i) = static_cast<uint8_t>(firstSector >> (24 - 8 * i));
        });
        CInspectorWindow w;
        Open(w, copy.Root());
        QTreeWidgetItem* cell = CellItem(w, 1, 1, 3);
        QVERIFY(cell);
        const QStringList own = FindingLines(cell);
        QString fault;
        for (const QString& line : own)
            if (line.startsWith(QLatin1String("error")))
                fault = line;
        QVERIFY2(fault.contains(QStringLiteral("@%1").arg(entry + 16)), qPrintable(own.join(QLatin1Char('\n'))));
        QVERIFY(!cell->icon(1).isNull());
        // ... and nowhere else: neither under the cells beside it nor under title 2.
        for (int c : {1, 2, 4})
            for (const QString& line : FindingLines(CellItem(w, 1, 1, c)))
                QVERIFY(!line.startsWith(QLatin1String("error")));
        QTreeWidgetItem* title2 = Named(TopEntries(w.DiscTree()), QStringLiteral("Title 2"));
        QTreeWidgetItem* title1 = Named(TopEntries(w.DiscTree()), QStringLiteral("Title 1"));
        QCOMPARE(title1->text(1).toInt(), cell->text(1).toInt() + CellItem(w, 1, 1, 2)->text(1).toInt() +
                                              CellItem(w, 1, 1, 4)->text(1).toInt() + CellItem(w, 1, 1, 1)->text(1).toInt());
        for (QTreeWidgetItem* c : Entries(Entries(title2).first()))
            for (const QString& line : FindingLines(c))
                QVERIFY(!line.startsWith(QLatin1String("error")));

        // The cell in the table: its two findings, the IFO's first as the report has it.
        w.DiscTree()->setCurrentItem(cell);
        QCOMPARE(TableRows(w), (QStringList{QStringLiteral("VTS_01_0.IFO ifo-cell-playback"),
                                            QStringLiteral("VTS_01_1.VOB time-base")}));
        // The finding's own line: the bytes of the IFO at its offset.
        for (int i = 0; i < cell->childCount(); ++i)
            if (cell->child(i)->text(0) == fault)
                w.DiscTree()->setCurrentItem(cell->child(i));
        QCOMPARE(w.ByteView()->FileCount(), 1);
        QCOMPARE(w.ByteView()->FileAt(0), QStringLiteral("VTS_01_0.IFO"));
        QCOMPARE(w.ByteView()->HighlightStart(), uint64_t{entry + 16});
        QVERIFY(w.statusBar()->currentMessage().startsWith(QStringLiteral("VTS_01_0.IFO offset %1").arg(entry + 16)));
        // No pack is claimed for the bytes of an IFO.
        QVERIFY(!w.statusBar()->currentMessage().contains(QLatin1String("PACK")));
    }

    void aDiscWithoutItsVobsAndAFolderThatIsNoDisc()
    {
        CInspectorWindow w;
        // The IFOs alone: their finding under the file it names, no set to show.
        Open(w, Disc("ifo-only"));
        QVERIFY(w.Result()->disc);
        QCOMPARE(w.ShownSet(), -1);
        QCOMPARE(w.StreamsModel()->rowCount(), 0);
        QCOMPARE(w.ByteView()->FileSize(), uint64_t{0});
        QTreeWidgetItem* vob = Named(TopEntries(w.DiscTree()), QStringLiteral("VIDEO_TS.VOB"));
        QVERIFY(vob);
        QCOMPARE(FindingLines(vob).size(), 1);
        w.DiscTree()->setCurrentItem(vob->child(0));
        QVERIFY(w.statusBar()->currentMessage().contains(QLatin1String("not on the disc")));
        for (int i = 0; i < w.DiscTree()->topLevelItemCount(); ++i)
            w.DiscTree()->setCurrentItem(w.DiscTree()->topLevelItem(i));

        // A folder without a disc's files says so; what was on show stays.
        const auto shown = w.Result();
        TempDir empty, plain;
        plain.Write("notes.txt", Bytes(10, 'x'));
        fs::create_directories(fs::path(empty.Path()) / "VIDEO_TS");
        // (A folder that holds a VIDEO_TS folder is a disc, however empty; the command
        // line judges it so too.)
        for (const QString& path :
             {QString::fromStdString(empty.Path() + "/VIDEO_TS"), QString::fromStdString(plain.Path())})
        {
            Open(w, path);
            QVERIFY2(w.Message().contains(QLatin1String("no VIDEO_TS.IFO or VTS_nn_0.IFO in it")), qPrintable(w.Message()));
            QCOMPARE(w.Result(), shown);
            QCOMPARE(w.FilePath(), Disc("ifo-only"));
            QVERIFY(Named(TopEntries(w.DiscTree()), QStringLiteral("VIDEO_TS.VOB")));
        }
    }

    void aCancelledPassKeepsTheTables()
    {
        // Cancelled at once: the IFOs are read before any VOB, so the titles are there
        // whatever the VOBs the pass got to; the summary says when it stopped early.
        CInspectorWindow w;
        w.Inspect(Disc("disc"));
        QVERIFY(w.IsRunning() && w.CancelButton()->isEnabled());
        w.Cancel();
        w.WaitForPass();
        QVERIFY(w.Result() && w.Result()->disc);
        QVERIFY(Named(TopEntries(w.DiscTree()), QStringLiteral("Title 3")));
        QCOMPARE(w.Result()->stopped, w.SummaryLabel()->text().contains(QLatin1String("cancelled")));
        QCOMPARE(w.StreamsModel()->rowCount(), int(w.Shown()->streams.size()));
    }

    // A VOB set file whose four VOBs each start their clock again near 0: the plots put
    // the clocks one after the other, as they play, instead of over each other.
    void theClocksOfAVobSetFollowEachOtherOnThePlots()
    {
        CInspectorWindow w;
        Open(w, Disc("disc/VIDEO_TS/VTS_01_1.VOB"));
        QVERIFY2(w.Message().isEmpty(), qPrintable(w.Message()));
        const inspector::InspectResult& r = *w.Result();
        QCOMPARE(r.clocks.size(), size_t{3});
        const auto seriesNamed = [](CPlotWidget* plot, const QString& name) -> const PlotSeries* {
            for (size_t k = 0; k < plot->SeriesCount(); ++k)
                if (plot->Series(k).name == name)
                    return &plot->Series(k);
            return nullptr;
        };
        // The packs' SCRs on the plot never run back, and a clock's first pack comes just
        // after the last one of the clock before.
        const PlotSeries* mux = seriesNamed(w.Plot(0), QStringLiteral("mux rate"));
        QVERIFY(mux && mux->count == r.packs.size());
        for (size_t i = 1; i < mux->count; ++i)
            QVERIFY2(mux->x(i) >= mux->x(i - 1), qPrintable(mux->describe(i)));
        double played = 0;
        for (const inspector::PlotClock& c : r.clocks)
        {
            QVERIFY(c.shift > 0);
            QVERIFY2(mux->x(c.pack) - mux->x(c.pack - 1) < 0.01, qPrintable(mux->describe(c.pack)));
            QVERIFY(mux->describe(c.pack).contains(QLatin1String(" on clock ")));
            played = c.shift;
        }
        // Every second of the set has its own bit rate: the total reaches into the last VOB
        // (the one this file holds the start of).
        const PlotSeries* total = seriesNamed(w.Plot(0), QStringLiteral("total /s"));
        QVERIFY(total && total->count > 0);
        QVERIFY2(total->x(total->count - 1) + 1 > played, qPrintable(QString::number(total->x(total->count - 1))));
        // Each clock's buffer curves start where its packs are placed.
        for (size_t k = 0; k < w.Plot(2)->SeriesCount(); ++k)
        {
            const PlotSeries& s = w.Plot(2)->Series(k);
            if (s.style == PlotSeries::StepLine && s.count > 0 && s.describe(0).contains(QLatin1String("on clock 4")))
                QVERIFY2(s.x(0) >= r.clocks.back().shift, qPrintable(s.describe(0)));
        }
        // One legend entry a stream, whose click hides the stream's curves on every clock.
        CPlotWidget* buffers = w.Plot(2);
        QStringList named;
        for (size_t k = 0; k < buffers->SeriesCount(); ++k)
            if (!buffers->LegendEntryRect(k).isNull())
                named << buffers->Series(k).name;
        QCOMPARE(named.size(), int(QSet<QString>(named.begin(), named.end()).size()));
        QVERIFY(buffers->SeriesCount() > size_t(named.size()));
        w.show();
        w.PlotTabs()->setCurrentIndex(2);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        buffers->replot();
        const QString first = buffers->Series(0).name;
        QTest::mouseClick(buffers, Qt::LeftButton, Qt::NoModifier, buffers->LegendEntryRect(0).center());
        for (size_t k = 0; k < buffers->SeriesCount(); ++k)
            QCOMPARE(buffers->IsSeriesVisible(k), buffers->Series(k).name != first);
        // The time stamps' lead times stay those of each clock: no pack of a new VOB
        // stands seconds off its arrival.
        const PlotSeries* scr = seriesNamed(w.Plot(1), QStringLiteral("SCR - arrival"));
        QVERIFY(scr);
        for (const inspector::PlotClock& c : r.clocks)
            QCOMPARE(scr->y(c.pack), 0.0);
    }

    void aCdxaFilesPacksAndUnitsAreAtTheirOffsetsInTheFile()
    {
        const QString path = QStringLiteral(VARNODEL_TREE_STREAMS "/vcd.dat");
        CInspectorWindow w;
        Open(w, path);
        QVERIFY2(w.Message().isEmpty(), qPrintable(w.Message()));
        const Bytes raw = ReadWholeFile(path.toStdString());
        const auto& packs = w.Result()->packs;
        QVERIFY(packs.size() > 10);
        // Every pack starts with its start code where the file has it: past the RIFF
        // header and the sectors' headers.
        for (size_t i = 0; i < packs.size(); ++i)
        {
            const uint64_t o = packs.offset[i];
            QVERIFY(o + 4 <= raw.size());
            QVERIFY2(raw[o] == 0 && raw[o + 1] == 0 && raw[o + 2] == 1 && raw[o + 3] == 0xBA, qPrintable(QString::number(o)));
        }
        // A picture starts with a start code (its sequence, GOP or picture header), unless
        // the code goes on in the next sector: 2352-byte sectors after the 44 bytes of the
        // RIFF header, each with 24 bytes of headers before its 2324 bytes of data.
        QVERIFY(raw.size() > 44 && std::string(raw.begin() + 36, raw.begin() + 40) == "data");
        const model::CUnitSeries* video = w.Result()->units.Find(model::MakeStreamKey(0xE0));
        QVERIFY(video && video->Count() > 10);
        for (size_t i = 0; i < video->Count(); ++i)
        {
            const uint64_t o = video->Offset(i);
            const uint64_t inSector = (o - 44) % 2352;
            QVERIFY(inSector >= 24 && inSector < 24 + 2324);
            if (inSector + 3 <= 24 + 2324)
                QVERIFY2(raw[o] == 0 && raw[o + 1] == 0 && raw[o + 2] == 1, qPrintable(QString::number(o)));
        }
        // Selecting the second pack shows it, as PACK #2, in the bytes of the file.
        w.SelectBytes(packs.offset[1]);
        QCOMPARE(w.ByteView()->HighlightStart(), packs.offset[1]);
        QVERIFY(w.statusBar()->currentMessage().contains(QLatin1String("PACK #2")));
    }
};
VARNODEL_TEST_CLASS(InspectorDiscTest);

#include "InspectorDiscTest.moc"
