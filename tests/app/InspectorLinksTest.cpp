// From what the inspector or the tree shows to the bytes it is about, and back: the
// elements of a pack, a tree line's element, a finding's, a point's; a pack's tree line
// or why there is none; go to offset and find with what they say.

#include "AppTestSupport.h"

#include "analysis/LineFormat.h"
#include "app/CAnalyzerDlg.h"
#include "app/inspector/CByteView.h"
#include "app/inspector/CInspectTables.h"
#include "app/inspector/CInspectorHooks.h"
#include "app/inspector/CInspectorWindow.h"
#include "app/inspector/CPlotWidget.h"
#include "app/inspector/CTreeSearchDlg.h"
#include "app/inspector/PackElements.h"
#include "support/TestFiles.h"

#include <QLineEdit>
#include <QStatusBar>
#include <QtTest>

#include <functional>

using inspector::PackElement;

namespace
{
QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// The test streams: the stream writer's DVD-like stream, ffmpeg's DVD program stream,
// its MPEG-1 system stream and mplex's DVD program stream.
std::vector<std::string> Streams(const TempDir& dir)
{
    std::vector<std::string> paths{dir.Write("writer.mpg", MakeSmallDvdStream(600000))};
    for (const std::string& made :
         {MakeFfmpegStream(dir, "ffdvd.vob",
                       {QStringLiteral("-c:v"), QStringLiteral("mpeg2video"), QStringLiteral("-b:v"), QStringLiteral("3000k"),
                        QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-f"), QStringLiteral("dvd")}),
          MakeFfmpegStream(dir, "mpeg1.mpg",
                       {QStringLiteral("-c:v"), QStringLiteral("mpeg1video"), QStringLiteral("-b:v"), QStringLiteral("1150k"),
                        QStringLiteral("-c:a"), QStringLiteral("mp2"), QStringLiteral("-f"), QStringLiteral("mpeg")})})
        if (!made.empty())
            paths.push_back(made);
    if (const std::string mplex = MakeMplexDvdStream(dir, 2); !mplex.empty())
        paths.push_back(mplex);
    return paths;
}

uint32_t Be16(const Bytes& b, uint64_t at)
{
    return at + 1 < b.size() ? uint32_t{b[at]} << 8 | b[at + 1] : 0;
}

bool StartCodeAt(const Bytes& b, uint64_t at, uint8_t code)
{
    return at + 3 < b.size() && b[at] == 0 && b[at + 1] == 0 && b[at + 2] == 1 && b[at + 3] == code;
}

// The main dialog with a whole-file tree of path and the inspector on the same file.
struct TwoWindows
{
    CAnalyzerDlg dlg;
    CInspectorWindow* w = nullptr;

    TwoWindows(const std::string& path, bool byLength, uint32_t packs = 0)
    {
        dlg.show();
        dlg.m_nMaxPackets = packs;
        for (QAction* a : dlg.WindowMenu()->actions())
            if (a->text() == QString::fromLatin1(CAnalyzerDlg::kByLengthMenuText) && a->isChecked() != byLength)
                a->trigger();
        dlg.m_strFileName = Q(path);
        dlg.UpdateData(false);
        dlg.OnAnalyze();
        dlg.Inspector()->OnInspect();
        w = &dlg.Inspector()->Window();
        w->WaitForPass();
        QCoreApplication::processEvents();
    }
    const CResultTree& Tree() { return dlg.ResultTree(); }
    // Makes a line current, as a click on it does; the inspector shows its element.
    void Select(ItemId line) { dlg.m_treeView.setCurrentIndex(dlg.Model().IndexOf(line)); }
    uint64_t Start() const { return w->ByteView()->HighlightStart(); }
    uint64_t Length() const { return w->ByteView()->HighlightLength(); }
};

ItemId ChildOf(const CResultTree& tree, ItemId parent, LineFmt fmt, uint32_t nth = 0)
{
    for (uint32_t row = 0; row < tree.ChildCount(parent); ++row)
        if (tree.Format(tree.Child(parent, row)) == fmt && nth-- == 0)
            return tree.Child(parent, row);
    return kNoItem;
}

ItemId Branch(const CResultTree& tree, LineFmt fmt)
{
    return ChildOf(tree, tree.Child(kNoItem, 0), fmt);
}
}  // namespace

class InspectorLinksTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void aPackIsWalkedIntoItsElements()
    {
        const Bytes pack = {
            // pack header, MPEG-2: '01', SCR 0, mux rate 25200, 2 bytes of stuffing
            0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xFA, 0xFF, 0xFF,
            // system header: header_length 6, rate bound, bounds, no stream entries
            0x00, 0x00, 0x01, 0xBB, 0x00, 0x06, 0x80, 0xC4, 0xE1, 0x04, 0xE1, 0xFF,
            // PES packet 0xE0, PES_packet_length 12: '10', flags 0x80 (PTS), header length 5
            0x00, 0x00, 0x01, 0xE0, 0x00, 0x0C, 0x81, 0x80, 0x05,
            0x21, 0x00, 0x05, 0xBF, 0x21,  // PTS 90000 with its markers
            0x00, 0x00, 0x01, 0xB3,        // 4 payload bytes: a sequence header's start code
            // padding packet of 4 bytes
            0x00, 0x00, 0x01, 0xBE, 0x00, 0x04, 0xFF, 0xFF, 0xFF, 0xFF,
        };
        const uint64_t base = 1000;
        const std::vector<PackElement> e = inspector::WalkElements(pack.data(), pack.size(), base);
        QCOMPARE(e.size(), size_t(4));
        QCOMPARE(e[0].kind, PackElement::PackHeader);
        QCOMPARE(e[0].whole.offset, base);
        QCOMPARE(e[0].whole.size, uint64_t(16));
        QCOMPARE(e[1].kind, PackElement::SystemHeader);
        QCOMPARE(e[1].whole.offset, base + 16);
        QCOMPARE(e[1].whole.size, uint64_t(12));
        QCOMPARE(e[2].kind, PackElement::Packet);
        QCOMPARE(e[2].streamId, uint8_t(0xE0));
        QCOMPARE(e[2].whole.offset, base + 28);
        QCOMPARE(e[2].whole.size, uint64_t(18));
        QCOMPARE(e[2].header.size, uint64_t(14));
        QCOMPARE(e[2].payload.offset, base + 42);
        QCOMPARE(e[2].payload.size, uint64_t(4));
        QVERIFY(e[2].hasPts);
        QCOMPARE(e[2].pts, uint64_t(90000));
        QCOMPARE(inspector::ElementName(e[3]), std::string("padding packet"));
        QCOMPARE(inspector::FindStartCodes(pack.data(), pack.size(), base, e[2].payload, 0xB3),
                 std::vector<uint64_t>{base + 42});

        // Cut short anywhere, the walk keeps what is whole and reads nothing beyond.
        for (size_t cut = 0; cut < pack.size(); ++cut)
        {
            const Bytes part(pack.begin(), pack.begin() + static_cast<std::ptrdiff_t>(cut));
            for (const PackElement& x : inspector::WalkElements(part.data(), part.size(), base))
                QVERIFY(x.whole.offset + x.whole.size <= base + cut);
        }
    }

    void treeLinesShowTheBytesOfTheirElement()
    {
        TempDir dir;
        for (const std::string& path : Streams(dir))
            for (const bool byLength : {false, true})
            {
                const QString what = Q(path) + (byLength ? QStringLiteral(" by lengths") : QStringLiteral(" by bytes"));
                TwoWindows t(path, byLength);
                const Bytes bytes = ReadWholeFile(path);
                const CResultTree& tree = t.Tree();
                const ItemId packs = Branch(tree, LineFmt::PacketStructure);
                QVERIFY2(tree.ChildCount(packs) > 3, qPrintable(what));

                // A pack: from its start code to the next pack's.
                const ItemId second = tree.Child(packs, 1);
                t.Select(second);
                QVERIFY2(StartCodeAt(bytes, t.Start(), 0xBA), qPrintable(what));
                QVERIFY(StartCodeAt(bytes, t.Start() + t.Length(), 0xBA));
                const uint64_t packStart = t.Start();
                // Its header: 14 bytes and the stuffing (MPEG-2), or 12 (MPEG-1).
                t.Select(ChildOf(tree, second, LineFmt::Header));
                QCOMPARE(t.Start(), packStart);
                const bool mpeg2 = (bytes[packStart + 4] & 0xC0) == 0x40;
                QCOMPARE(t.Length(), mpeg2 ? 14 + uint64_t(bytes[packStart + 13] & 7) : uint64_t(12));

                // The first video packet of the packs, and its PES header.
                ItemId packet = kNoItem, packLine = kNoItem;
                for (uint32_t p = 0; p < tree.ChildCount(packs) && packet == kNoItem; ++p)
                {
                    packLine = tree.Child(packs, p);
                    const ItemId data = ChildOf(tree, packLine, LineFmt::Data);
                    for (uint32_t row = 0; row < tree.ChildCount(data) && packet == kNoItem; ++row)
                        if (LineText(tree, tree.Child(data, row)).rfind("Stream 0xE0", 0) == 0)
                            packet = tree.Child(data, row);
                }
                // (The byte scan shows no packets of MPEG-1 system streams.)
                if (packet == kNoItem && !byLength && !mpeg2)
                    continue;
                QVERIFY2(packet != kNoItem, qPrintable(what));
                t.Select(packet);
                QVERIFY2(StartCodeAt(bytes, t.Start(), 0xE0), qPrintable(what));
                QCOMPARE(t.Length(), 6 + uint64_t(Be16(bytes, t.Start() + 4)));
                const uint64_t packetStart = t.Start();
                t.Select(ChildOf(tree, packet, LineFmt::PesHeader));
                QCOMPARE(t.Start(), packetStart);
                QCOMPARE(t.Length(), mpeg2 ? 9 + uint64_t(bytes[packetStart + 8]) : t.Length());

                // The same packet under "Elementary streams": the first line of the video group.
                const ItemId video = ChildOf(tree, Branch(tree, LineFmt::ElementaryStreams), LineFmt::VideoStream);
                const ItemId first = tree.Child(video, 0);
                t.Select(first);
                QCOMPARE(t.Start(), packetStart);
                // A picture header under it starts with its start code.
                const ItemId picture = ChildOf(tree, first, LineFmt::Picture);
                if (picture != kNoItem)
                {
                    t.Select(picture);
                    QVERIFY2(StartCodeAt(bytes, t.Start(), 0x00), qPrintable(what));
                }
                // An audio frame: its sync word, and as long as its frame (or the packet).
                const ItemId audio = ChildOf(tree, Branch(tree, LineFmt::ElementaryStreams), LineFmt::AudioStream);
                QVERIFY2(audio != kNoItem, qPrintable(what));
                ItemId frame = kNoItem;
                for (uint32_t row = 0; row < tree.ChildCount(audio) && frame == kNoItem; ++row)
                    frame = ChildOf(tree, tree.Child(audio, row), LineFmt::AudioHeaderNext);
                if (frame != kNoItem)
                {
                    t.Select(frame);
                    QVERIFY2(bytes[t.Start()] == 0xFF && (bytes[t.Start() + 1] & 0xE0) == 0xE0, qPrintable(what));
                    QVERIFY(t.Length() > 4 && t.Length() <= 1728);
                }
            }
    }

    void findingsAndPointsShowTheirOwnElement()
    {
        TempDir dir;
        const std::string path = dir.Write("dvd.mpg", MakeSmallDvdStream(600000));
        CInspectorWindow w;
        w.show();
        w.Inspect(Q(path));
        w.WaitForPass();
        const auto r = w.Result();
        const Bytes bytes = ReadWholeFile(path);
        // Every finding: the element that starts at its offset, not the rest of its pack.
        QVERIFY(!r->findings.empty());
        for (const checks::Finding& f : r->findings)
        {
            const CInspectorWindow::Element e = w.ElementAt(f.offset);
            QVERIFY2(e.length > 0, f.check);
            QVERIFY(e.offset <= f.offset && f.offset < e.offset + e.length);
            if (StartCodeAt(bytes, f.offset, 0xE0) || StartCodeAt(bytes, f.offset, 0xC0))
            {
                QCOMPARE(e.offset, f.offset);
                QCOMPARE(e.length, 6 + uint64_t(Be16(bytes, f.offset + 4)));
            }
        }
        // A time stamp's point: the stream's first stamped packet in its pack.
        CPlotWidget* stamps = w.Plot(1);
        for (size_t k = 0; k < stamps->SeriesCount(); ++k)
        {
            const PlotSeries& s = stamps->Series(k);
            if (s.stream == 0)
                continue;
            w.SelectBytes(s.offset(0), 0, s.stream);
            QVERIFY(StartCodeAt(bytes, w.ByteView()->HighlightStart(), uint8_t(s.stream)));
            QVERIFY(w.ByteView()->HighlightStart() >= s.offset(0));
        }
        QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("PACK #")));
    }

    void aPackSelectsItsTreeLineOrSaysWhyNot()
    {
        TempDir dir;
        const std::string path = dir.Write("dvd.mpg", MakeSmallDvdStream(600000));
        // The tree holds ten packs.
        TwoWindows t(path, true, 10);
        const auto& packs = t.w->Result()->packs;
        QVERIFY(packs.size() > 20);
        t.w->SelectBytes(packs.offset[4] + 20, 1);
        QCOMPARE(t.dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #5"));
        // The tree followed, and the bytes on show are still those selected, not its pack's.
        QCOMPARE(t.Start(), packs.offset[4] + 20);
        QCOMPARE(t.Length(), uint64_t(1));
        QVERIFY(t.w->statusBar()->currentMessage().endsWith(QStringLiteral("PACK #5")));
        t.w->SelectBytes(packs.offset[15], 1);
        QCOMPARE(t.dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #5"));
        QVERIFY2(t.w->statusBar()->currentMessage().contains(
                     QStringLiteral("PACK #16 (not in the tree, which holds packs up to #10: analyse more packs")),
                 qPrintable(t.w->statusBar()->currentMessage()));

        // Another file in the tree: nothing there moves, and the inspector says why.
        const std::string other = dir.Write("other.mpg", MakeSmallDvdStream(200000));
        t.w->Inspect(Q(other));
        t.w->WaitForPass();
        QCoreApplication::processEvents();
        t.w->SelectBytes(t.w->Result()->packs.offset[2], 1);
        QVERIFY(t.w->statusBar()->currentMessage().contains(QStringLiteral("the main window's tree shows another file")));
        QCOMPARE(t.dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #5"));
    }

    void goToOffsetGoesThereOrSaysWhyNot()
    {
        TempDir dir;
        const std::string path = dir.Write("dvd.mpg", MakeSmallDvdStream(600000));
        const uint64_t size = ReadWholeFile(path).size();
        for (const bool byLength : {false, true})
        {
            TwoWindows t(path, byLength, 10);
            CInspectorHooks& hooks = *t.dlg.Inspector();
            const auto& packs = t.w->Result()->packs;
            QCOMPARE(hooks.GoToOffset(QStringLiteral("0x%1").arg(packs.offset[3] + 100, 0, 16)), QString());
            QCOMPARE(t.dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #4"));
            QCOMPARE(hooks.GoToOffset(QString::number(packs.offset[9] + 10)), QString());
            QCOMPARE(t.dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #10"));
            // Past the end of the file, past the tree (which ends where pack 11 starts),
            // and no number at all: each says so.
            QCOMPARE(hooks.GoToOffset(QStringLiteral("99999999")),
                     QStringLiteral("Offset 99999999 lies past the end of the file (%1 bytes).")
                         .arg(QLocale(QLocale::English).toString(qulonglong(size))));
            QCOMPARE(hooks.GoToOffset(QString::number(packs.offset[10])),
                     QStringLiteral("The tree holds packs up to #10 (bytes 0 to %1); analyse more packs to reach "
                                    "offset %2.")
                         .arg(QLocale(QLocale::English).toString(qulonglong(packs.offset[10] - 1)))
                         .arg(QLocale(QLocale::English).toString(qulonglong(packs.offset[10]))));
            QVERIFY(hooks.GoToOffset(QStringLiteral("12ab")).contains(QStringLiteral("is no offset")));
            QCOMPARE(t.dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #10"));
        }
    }

    void findTellsWhereAndEnterDoesWhatItsFieldIsFor()
    {
        TempDir dir;
        const std::string path = dir.Write("dvd.mpg", MakeSmallDvdStream(400000));
        CAnalyzerDlg dlg;
        dlg.show();
        dlg.m_nMaxPackets = 0;
        dlg.m_strFileName = Q(path);
        dlg.UpdateData(false);
        dlg.OnAnalyze();
        dlg.Inspector()->OnFind();
        CTreeSearchDlg& search = dlg.Inspector()->Search();
        QVERIFY(QTest::qWaitForWindowExposed(&search));
        QSignalSpy ended(&search, &CTreeSearchDlg::SearchEnded);

        // Enter in "Pack number:" goes to the pack, and runs no search.
        search.PackEdit()->setText(QStringLiteral("7"));
        QTest::keyClick(search.PackEdit(), Qt::Key_Return);
        QCOMPARE(dlg.m_treeView.currentIndex().data().toString(), QStringLiteral("PACK #7"));
        QTest::qWait(150);
        QCOMPARE(ended.size(), 0);

        // Enter in the text field searches on from there; the status says where it found it.
        search.TextEdit()->setText(QStringLiteral("muxrate = "));
        QTest::keyClick(search.TextEdit(), Qt::Key_Return);
        QTRY_COMPARE(ended.size(), 1);
        QVERIFY(dlg.m_treeView.currentIndex().data().toString().startsWith(QStringLiteral("muxrate = ")));
        QCOMPARE(search.Status(), QStringLiteral("Found \"muxrate = \" under PACK #7."));
        const ItemId video = ChildOf(dlg.ResultTree(), Branch(dlg.ResultTree(), LineFmt::ElementaryStreams),
                                     LineFmt::VideoStream);
        QCOMPARE(search.PlaceOf(dlg.ResultTree().Child(video, 0)),
                 QStringLiteral("under Elementary streams > (Video Stream 0)"));
        QCOMPARE(search.PlaceOf(Branch(dlg.ResultTree(), LineFmt::Essentials)), QStringLiteral("at the top of the tree"));

        // The dialog keeps off the line it found.
        const QModelIndex current = dlg.m_treeView.currentIndex();
        const QRect line = dlg.m_treeView.visualRect(current);
        const QRect onScreen(dlg.m_treeView.viewport()->mapToGlobal(line.topLeft()), line.size());
        QVERIFY(!search.frameGeometry().intersects(onScreen));
    }
};
VARNODEL_TEST_CLASS(InspectorLinksTest);

#include "InspectorLinksTest.moc"
