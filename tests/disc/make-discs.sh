#!/bin/sh
# Authors the DVD-Video discs the disc tests judge, with dvdauthor, from a few seconds of
# synthetic pictures and tones made by ffmpeg.
#
#   tests/disc/make-discs.sh OUTPUT_DIR
#
# OUTPUT_DIR/disc/VIDEO_TS:
#   - a VMG menu domain of two menus, each a VOB of its own source (two clocks);
#   - title set 1: two menus, and two titles: the first of three cells from three sources
#     with three chapters, the second of one cell; its title VOB set split into
#     VTS_01_1.VOB and VTS_01_2.VOB in the middle of a VOBU; the second title muxed by mplex;
#   - title set 2: 16:9 video, two audio streams (AC-3 and MPEG audio) and a subpicture
#     stream with languages, in one title of two cells.
# OUTPUT_DIR/ifo-only/VIDEO_TS: the same disc's IFO and BUP files alone.
# OUTPUT_DIR/ntsc/VIDEO_TS: an NTSC disc: one title of 29.97 fps video and LPCM audio
#   muxed by mplex, in two chapters; a silent one-second VMG menu, so short that dvdauthor
#   pads the manager's sectors (the IFO says more sectors than its files hold).
set -eu
out=$1
mkdir -p "$out"
cd "$out"
for tool in ffmpeg mplex dvdauthor spumux; do
  command -v $tool >/dev/null 2>&1 || { echo "make-discs.sh: $tool not found (scripts/setup.sh installs it)" >&2; exit 1; }
done

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
exact="-fflags +bitexact -flags:v +bitexact -flags:a +bitexact"
# A PAL DVD program stream: SOURCE SECONDS TONE OUTPUT [more options]
src() {
  pattern=$1 seconds=$2 tone=$3 name=$4
  shift 4
  case $pattern in *=*) pattern="$pattern:" ;; *) pattern="$pattern=" ;; esac
  ff -f lavfi -i "${pattern}size=720x576:rate=25:duration=$seconds" \
     -f lavfi -i "sine=frequency=$tone:sample_rate=48000:duration=$seconds" $exact \
     -target pal-dvd -aspect 4:3 -b:v 2500k -g 12 "$@" "$name"
}
src testsrc 2.2 440 a.mpg
src smptebars 1.5 660 b.mpg
src rgbtestsrc 1.2 550 c.mpg
# Title 2 from mplex, with B pictures and mono AC-3 as the other sources have.
ff -f lavfi -i "testsrc2=size=720x576:rate=25:duration=1.8" $exact \
   -c:v mpeg2video -aspect 4:3 -b:v 2500k -maxrate 8000k -bufsize 1835008 -g 12 -bf 2 -f mpeg2video d.m2v
ff -f lavfi -i "sine=frequency=770:sample_rate=48000:duration=1.8" $exact -c:a ac3 -b:a 192k -ac 1 -f ac3 d.ac3
mplex -v 0 -f 8 -o d.mpg d.m2v d.ac3
src "color=c=blue" 1 330 m1.mpg
src "color=c=red" 1 350 m2.mpg
src "color=c=green" 1 370 m3.mpg
src "color=c=gray" 1 390 m4.mpg
# Title set 2: 16:9, an AC-3 and an MPEG audio stream.
ff -f lavfi -i "testsrc=size=720x576:rate=25:duration=2" \
   -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
   -f lavfi -i "sine=frequency=880:sample_rate=48000:duration=2" $exact \
   -map 0 -map 1 -map 2 -target pal-dvd -aspect 16:9 -b:v 2500k -g 12 -c:a:0 ac3 -ac:a:0 2 -c:a:1 mp2 -ac:a:1 2 -b:a:1 192k e0.mpg
ff -f lavfi -i "smptebars=size=720x576:rate=25:duration=1.4" \
   -f lavfi -i "sine=frequency=500:sample_rate=48000:duration=1.4" \
   -f lavfi -i "sine=frequency=900:sample_rate=48000:duration=1.4" $exact \
   -map 0 -map 1 -map 2 -target pal-dvd -aspect 16:9 -b:v 2500k -g 12 -c:a:0 ac3 -ac:a:0 2 -c:a:1 mp2 -ac:a:1 2 -b:a:1 192k f.mpg
# A subpicture over the first source of title set 2.
ff -f lavfi -i "color=c=black@0.0:s=720x576,format=rgba,drawbox=x=100:y=450:w=200:h=50:color=white@1.0:t=fill" \
   -frames:v 1 sub.png
cat > sub.xml <<XML
<subpictures><stream><spu start="00:00:01.00" end="00:00:01.50" image="sub.png"/></stream></subpictures>
XML
# spumux puts its packs in where the mux rate leaves no room for them (mux-rate-exceeded);
# ffmpeg muxes the streams again, with the subpicture stream.
spumux -m dvd -s 0 sub.xml < e0.mpg > e1.mpg 2>/dev/null
ff -i e1.mpg -map 0:v -map 0:a -map 0:s -c copy -f dvd -muxrate 10080000 -packetsize 2048 e.mpg

cat > disc.xml <<XML
<dvdauthor dest="disc">
  <vmgm>
    <menus>
      <pgc entry="title"><vob file="m1.mpg"/><post>jump menu 2;</post></pgc>
      <pgc><vob file="m2.mpg"/><post>jump titleset 1 menu;</post></pgc>
    </menus>
  </vmgm>
  <titleset>
    <menus>
      <pgc entry="root"><vob file="m3.mpg"/><post>jump menu 2;</post></pgc>
      <pgc><vob file="m4.mpg"/><post>jump title 1;</post></pgc>
    </menus>
    <titles>
      <pgc>
        <vob file="a.mpg" chapters="0,1.0"/>
        <vob file="b.mpg"/>
        <vob file="c.mpg"/>
      </pgc>
      <pgc><vob file="d.mpg"/></pgc>
    </titles>
  </titleset>
  <titleset>
    <titles>
      <video aspect="16:9"/>
      <audio lang="en"/>
      <audio lang="fr"/>
      <subpicture lang="de"/>
      <pgc>
        <vob file="e.mpg" chapters="0"/>
        <vob file="f.mpg"/>
      </pgc>
    </titles>
  </titleset>
</dvdauthor>
XML
rm -rf disc ifo-only ntsc
VIDEO_FORMAT=PAL dvdauthor -x disc.xml >/dev/null 2>&1

# Title set 1's title VOB set as two files, cut halfway through at a block inside a VOBU,
# as a set larger than 1 GiB is cut.
v=disc/VIDEO_TS/VTS_01_1.VOB
blocks=$(( $(wc -c < $v) / 2048 ))
half=$(( blocks / 2 ))
dd if=$v of=disc/VIDEO_TS/VTS_01_2.VOB bs=2048 skip=$half status=none
dd if=$v of=$v.part bs=2048 count=$half status=none
mv $v.part $v

mkdir -p ifo-only/VIDEO_TS
cp disc/VIDEO_TS/*.IFO disc/VIDEO_TS/*.BUP ifo-only/VIDEO_TS/

# NTSC, LPCM audio, mplex.
ff -f lavfi -i "testsrc=size=720x480:rate=30000/1001:duration=2.5" $exact \
   -c:v mpeg2video -aspect 4:3 -b:v 3000k -maxrate 8000k -bufsize 1835008 -g 15 -bf 2 -f mpeg2video n.m2v
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2.5" $exact -ac 2 -f s16be n.lpcm
mplex -v 0 -f 8 -L 48000:2:16 -o n.mpg n.m2v n.lpcm
ff -f lavfi -i "color=c=blue:size=720x480:rate=30000/1001:duration=1" $exact -target ntsc-dvd -aspect 4:3 -an nm.mpg
cat > ntsc.xml <<XML
<dvdauthor dest="ntsc">
  <vmgm><menus><pgc entry="title"><vob file="nm.mpg"/><post>jump title 1;</post></pgc></menus></vmgm>
  <titleset><titles><pgc><vob file="n.mpg" chapters="0,1.2"/></pgc></titles></titleset>
</dvdauthor>
XML
VIDEO_FORMAT=NTSC dvdauthor -x ntsc.xml >/dev/null 2>&1
rm -f ./*.m2v ./*.ac3 ./*.mp2 ./*.lpcm
