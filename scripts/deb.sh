#!/usr/bin/env bash
# Builds presswick_<version>_amd64.deb in the top directory (called by `make deb`), from the build tree
# $BUILD (default build): only the shipped programs are built, so after `make build` or `make test` it
# only packs. Then lintian checks it; any error fails.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
JOBS=${JOBS:-$(nproc)}
top=$(pwd)
meta=$(mktemp -d /tmp/presswick-deb.XXXXXX)
clean_debian() { rm -rf debian/.debhelper debian/presswick debian/files debian/*.substvars debian/debhelper-build-stamp; }
trap 'clean_debian; rm -rf "$meta"' EXIT
clean_debian

version=$(dpkg-parsechangelog -S Version)
project_version=$(sed -n 's/^project(presswick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ "$version" != "$project_version" ]; then
  echo "deb.sh: debian/changelog is at $version but CMakeLists.txt at $project_version; add a changelog entry" >&2
  exit 1
fi
deb="presswick_${version}_amd64.deb"
rm -f "$deb"
# -nc: the build tree is kept. The build information and changes files, of no use outside a Debian
# archive, stay in the scratch directory with the package until it is moved here.
BUILD=$BUILD JOBS=$JOBS PACKAGE_DIR=$meta dpkg-buildpackage -b -uc -us -nc \
  --buildinfo-file="$meta/presswick.buildinfo" --changes-file="$meta/presswick.changes" \
  --buildinfo-option=-u"$meta" --changes-option=-u"$meta" >"$meta/build.log" 2>&1 ||
  { cat "$meta/build.log" >&2; echo "deb.sh: dpkg-buildpackage failed" >&2; exit 1; }
mv "$meta/$deb" "$deb"
echo "built $deb"
if command -v lintian >/dev/null; then
  echo "lintian $deb:"
  # Errors fail the build; warnings and notes are shown.
  lintian --fail-on error --display-info "$deb"
else
  echo "deb.sh: lintian is not installed, the package was not checked (scripts/install-deps.sh installs it)" >&2
fi
