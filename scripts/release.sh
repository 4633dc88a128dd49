#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes a release's files in dist/ from a tree with nothing uncommitted: the Debian package, the
# source tarball (git archive), the Windows installer and portable zip (where the Windows build
# can be made here), and SHA256SUMS over them all. The version is the project's (CMakeLists.txt),
# with the commit for a tree that is not exactly the release tag v<version>.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "$(git status --porcelain)" ]; then
  echo "release: the tree has uncommitted changes; commit or stash them first:" >&2
  git status --short >&2
  exit 1
fi

deb=$(scripts/package.sh | tail -n 1)
version=$(dpkg-deb --field "$deb" Version)
rm -rf dist
mkdir dist
cp "$deb" dist/

# The source as committed; the archive names its commit (cmake/git_commit.txt, export-subst).
git archive --format=tar --prefix="vexlor-$version/" HEAD | gzip -9 -n > "dist/vexlor-$version.tar.gz"

if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v makensis >/dev/null; then
  scripts/build-windows.sh >/dev/null
  win_build=${VEXLOR_WIN_BUILD:-build-win}  # where build-windows.sh built
  for file in "$win_build/vexlor-$version-setup.exe" "$win_build/vexlor-$version-windows.zip"; do
    [ -f "$file" ] || { echo "release: the Windows build made no $file" >&2; exit 1; }
    cp "$file" dist/
  done
else
  echo "release: no mingw-w64 or NSIS here: dist/ has no Windows files" >&2
fi

(cd dist && sha256sum -- * > SHA256SUMS && sha256sum --check --quiet SHA256SUMS)
echo "release: dist/ for vexlor $version:"
ls -1 dist
