#!/usr/bin/env bash
# Makes the pictures of salvora.exe's main window, about box and error
# dialog with ImageMagick 6 and the DejaVu fonts of Debian:
#   cd recovery_app/win/res && ./make_images.sh
# The results are committed; run this only to change the artwork.
set -euo pipefail
cd "$(dirname "$0")"

slate='#2e3642'      # the window's background (also the agreement's)
panel='#1f2733'      # logo and banner
text='#e9eef4'
muted='#c3ccd8'
accent='#ff1e3c'     # the progress bar's start colour
blue='#8fb8e8'
bold=DejaVu-Sans-Bold
regular=DejaVu-Sans

# convert with the given arguments, the last one being the output, leaving
# out the metadata that would change at every run.
png() {
  local out="${*: -1}"
  convert "${@:1:$#-1}" -strip -define png:exclude-chunks=date,time "$out"
}

# A memory card outline at x,y (w 34, h 44) in colour $3: the plain shape of
# an SD card with a cut corner and its contacts.
card() {
  local x=$1 y=$2 c=$3
  echo "-stroke $c -strokewidth 3 -fill none -draw \"polygon $((x)),$((y+10)) $((x+10)),$((y)) $((x+34)),$((y)) $((x+34)),$((y+44)) $((x)),$((y+44))\"" \
       "-stroke none -fill $c -draw \"rectangle $((x+13)),$((y+5)) $((x+16)),$((y+13))\"" \
       "-draw \"rectangle $((x+20)),$((y+5)) $((x+23)),$((y+13))\" -draw \"rectangle $((x+27)),$((y+5)) $((x+30)),$((y+13))\""
}

# Window background (stretched over the whole window).
png -size 344x352 "xc:$slate" PNG24:background.png

# Logo 256 x 100.
eval png -size 256x100 "xc:$panel" $(card 18 26 "'$accent'") \
  -stroke "'$text'" -strokewidth 3 -draw "'line 35,60 35,44'" -draw "'line 35,42 29,49'" -draw "'line 35,42 41,49'" \
  -stroke none -fill "'$text'" -font $bold -pointsize 34 -annotate +66+56 Salvora \
  -fill "'$blue'" -font $regular -pointsize 13 -annotate +68+78 "'File Recovery'" \
  -fill "'$accent'" -draw "'rectangle 0,97 255,99'" PNG24:logo.png

# Button faces 256 x 36: up, down (pressed) and focused.
face() { # name label
  local name=$1 label=$2
  png -size 256x36 gradient:'#3d4858'-'#303a48' -fill '#222933' -draw 'rectangle 0,35 255,35' \
    -fill "$accent" -draw 'rectangle 0,0 4,34' \
    -fill "$text" -font $bold -pointsize 15 -gravity west -annotate +22+0 "$label" PNG24:"$name.png"
  png -size 256x36 gradient:'#242b35'-'#2c3441' -fill '#222933' -draw 'rectangle 0,35 255,35' \
    -fill "$accent" -draw 'rectangle 0,0 4,34' \
    -fill "$muted" -font $bold -pointsize 15 -gravity west -annotate +23+1 "$label" PNG24:"${name}_down.png"
  png -size 256x36 gradient:'#46536a'-'#364255' -fill none -stroke "$blue" -strokewidth 2 \
    -draw 'rectangle 6,1 254,33' -stroke none -fill "$accent" -draw 'rectangle 0,0 4,34' \
    -fill white -font $bold -pointsize 15 -gravity west -annotate +22+0 "$label" PNG24:"${name}_focus.png"
}
face settings Settings
face recover Recover
face format 'Format Flash Card'
face protect Cardwarden
face about About
face exit Exit
png -size 256x36 gradient:'#3d4858'-'#303a48' -fill '#222933' -draw 'rectangle 0,35 255,35' PNG24:blank.png

# Banner 600 x 48.
png -size 600x48 "xc:$panel" -fill '#3d4858' -draw 'rectangle 0,0 599,1' \
  -fill "$muted" -font $regular -pointsize 12 -gravity west \
  -annotate +14+0 'Recovers photos, videos, music and documents from memory cards and disks.' \
  -fill "$blue" -font $bold -pointsize 15 -gravity east -annotate +14+0 KORVELL PNG24:banner.png

# Captions 157 x 22, on the window's background.
caption() { # name label
  png -size 157x22 "xc:$slate" -fill "$muted" -font $bold -pointsize 12 -gravity east -annotate +6+0 "$2" \
    PNG24:"$1.png"
}
caption caption_count 'Files Recovered :'
caption caption_elapsed 'Elapsed Time :'

# About picture 480 x 317.
eval png -size 480x317 "gradient:'$slate'-'$panel'" $(card 40 52 "'$accent'") \
  -stroke "'$text'" -strokewidth 3 -draw "'line 57,86 57,70'" -draw "'line 57,68 51,75'" -draw "'line 57,68 63,75'" \
  -stroke none -fill "'$text'" -font $bold -pointsize 46 -annotate +96+92 Salvora \
  -fill "'$blue'" -font $regular -pointsize 16 -annotate +98+122 "'File recovery for memory cards and disks'" \
  -fill "'$accent'" -draw "'rectangle 40,150 440,152'" \
  -fill "'$muted'" -font $regular -pointsize 13 \
  -annotate +40+186 "'Finds photos, camera raw images, videos, music and'" \
  -annotate +40+206 "'documents by their contents, even where the card'" \
  -annotate +40+226 "'was formatted or the files were deleted.'" \
  -fill "'$text'" -font $bold -pointsize 14 -annotate +40+272 "'Korvell Technology Inc.'" \
  -fill "'#7a8696'" -font $regular -pointsize 11 -gravity southeast -annotate +14+10 "'Click the picture to close'" \
  PNG24:about_picture.png

# The error dialog's illustration, 500 x 150: saving onto the card being
# recovered (wrong) beside saving onto another disk (right).
eval png -size 500x150 "xc:'#f4f6f8'" -fill "'#d5dbe3'" -draw "'rectangle 249,10 250,139'" \
  $(card 30 36 "'#39424f'") -fill "'#39424f'" -stroke "'#39424f'" -strokewidth 3 \
  -draw "'line 78,58 128,58'" -draw "'polygon 128,52 138,58 128,64'" \
  $(card 150 36 "'#39424f'") \
  -stroke "'#d93025'" -strokewidth 5 -draw "'line 198,30 228,60'" -draw "'line 228,30 198,60'" \
  $(card 280 36 "'#39424f'") -fill "'#39424f'" -stroke "'#39424f'" -strokewidth 3 \
  -draw "'line 328,58 378,58'" -draw "'polygon 378,52 388,58 378,64'" \
  -stroke "'#39424f'" -strokewidth 3 -fill none -draw "'roundrectangle 398,36 448,80 5,5'" \
  -draw "'line 398,68 448,68'" -stroke none -fill "'#39424f'" -draw "'circle 438,74 440,74'" \
  -stroke "'#1e8e3e'" -strokewidth 5 -fill none -draw "'polyline 452,46 462,58 484,30'" \
  -stroke none -fill "'#d93025'" -font $bold -pointsize 13 -annotate +20+112 "'Do not save onto the'" \
  -annotate +20+130 "'card you recover'" \
  -fill "'#1e8e3e'" -annotate +270+112 "'Save onto another'" -annotate +270+130 "'disk or card'" \
  PNG24:save_elsewhere.png
