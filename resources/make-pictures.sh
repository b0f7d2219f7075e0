#!/usr/bin/env bash
# Regenerates every picture in this folder from draw_pictures.py:
#   draw_pictures.py writes the SVG sources beside the pictures,
#   rsvg-convert (Debian package librsvg2-bin) renders them to PNG,
#   the four marker bitmaps are turned into 24-bit BMP files,
#   the application icon is rendered at the sizes installed for menus (APP_ICON_SIZES),
#   the sponsor window's card becomes a baseline JPEG through cjpeg (libjpeg-turbo-progs);
#   its text wants the font of fonts-wqy-microhei.
# The finished pictures are kept in the repository, so building the program needs none of this.
set -euo pipefail
cd "$(dirname "$0")"

command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing: apt-get install librsvg2-bin" >&2; exit 1; }
command -v cjpeg >/dev/null || { echo "cjpeg is missing: apt-get install libjpeg-turbo-progs" >&2; exit 1; }

python3 draw_pictures.py svg . >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for svg in skin/*.svg buttons/*.svg icons/*.svg panel/*.svg trackbar/*.svg glyphs/*.svg; do
  rsvg-convert -o "${svg%.svg}.png" "$svg"
done
for svg in markers/*.svg; do
  name=$(basename "${svg%.svg}")
  rsvg-convert -o "$tmp/$name.png" "$svg"
  python3 draw_pictures.py bmp "$tmp/$name.png" "markers/$name.bmp"
done
for size in 48 256; do
  rsvg-convert -w "$size" -h "$size" -o "app/segmora_$size.png" app/segmora.svg
done
for svg in sponsor/*.svg; do
  name=$(basename "${svg%.svg}")
  rsvg-convert -o "$tmp/$name.png" "$svg"
  python3 draw_pictures.py ppm "$tmp/$name.png" "$tmp/$name.ppm"
  cjpeg -quality 92 -optimize -outfile "sponsor/$name.jpg" "$tmp/$name.ppm"
done

python3 draw_pictures.py check .
echo "pictures written"
