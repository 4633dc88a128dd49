# SPDX-License-Identifier: Apache-2.0
# What the Wine test scripts share, sourced from the repository's root: the Linux build's programs
# (the simulator, the packer), the Windows build's, and Wine's own (Debian keeps them off the PATH).
linux=$PWD/build/bin
windows=$PWD/build-win/bin
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(dirname "$wine")/wineserver
