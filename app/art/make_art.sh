#!/usr/bin/env bash
# Draws the program's logo (a 128 x 111 GIF89a, 256-colour palette, one transparent colour), the
# bitmap the window draws it from (its transparent colour made magenta, the key colour the window
# leaves out) and the window icon (32 x 32, 24 bits per pixel) with ImageMagick. The results are committed beside this
# script; run it again only to change the artwork.
set -euo pipefail
cd "$(dirname "$0")"

# Logo: an envelope on a shaded disc over a transparent background.
convert -size 128x111 xc:none \
  \( -size 104x104 radial-gradient:'#8fd0ff'-'#0b3c7a' \
     \( -size 104x104 gradient:'#ffd27a'-'#2a8a4a' \) -compose multiply -composite \
     \( -size 104x104 xc:black -fill white -draw 'circle 52,52 52,1' \) \
     -alpha off -compose copy_opacity -composite \) \
  -geometry +12+3 -compose over -composite \
  -fill none -stroke '#0b3c7a' -strokewidth 2 -draw 'circle 64,55 64,5' \
  -fill '#fdfdf6' -stroke '#6a5a2a' -strokewidth 2 -draw 'polygon 30,36 98,36 98,80 30,80' \
  -fill none -stroke '#6a5a2a' -strokewidth 2 -draw 'polyline 30,36 64,62 98,36' \
  -fill '#d23c2a' -stroke none -draw 'circle 92,78 92,68' \
  -fill white -font DejaVu-Sans-Bold -pointsize 12 -draw "text 87,83 'M'" \
  -channel A -threshold 50% +channel \
  -dither None -colors 255 -background none \
  GIF:logo.gif
convert logo.gif -background '#FF00FF' -alpha remove -alpha off -type Palette -compress None \
  -define bmp:format=bmp3 BMP3:logo.bmp

# Icon: the same envelope, small and opaque.
convert -size 32x32 radial-gradient:'#4f9de0'-'#0b3c7a' \
  -fill '#fdfdf6' -stroke '#6a5a2a' -strokewidth 1 -draw 'polygon 5,9 27,9 27,24 5,24' \
  -fill none -draw 'polyline 5,9 16,18 27,9' \
  -alpha off -type TrueColor -define bmp:format=bmp3 \
  BMP3:icon.bmp
python3 - <<'PY'
# An .ico holding the one 24-bit BMP image (the icon's AND mask all visible).
import struct
bmp = open("icon.bmp", "rb").read()
dib = bytearray(bmp[14:])
width, height = struct.unpack_from("<ii", dib, 4)
struct.pack_into("<i", dib, 8, height * 2)  # colour image plus mask
mask_row = ((width + 31) // 32) * 4
dib += bytes(mask_row * height)
entry = struct.pack("<BBBBHHII", width, height, 0, 0, 1, 24, len(dib), 6 + 16)
open("icon.ico", "wb").write(struct.pack("<HHH", 0, 1, 1) + entry + dib)
PY
rm icon.bmp
identify logo.gif logo.bmp icon.ico
