#!/usr/bin/env bash
# The installed programs work like a real tool: build the Debian package, install it with dpkg, and, as an
# unprivileged user outside the source tree, run `zepaisp-cli --version` and the example chain on the
# simulated board from a copy of the installed examples (which needs the per-user working folder, since
# /usr/bin cannot be written).
#
#   bash scripts/ci-install-check.sh [BUILD_DIR]     # as root, on a throwaway machine (CI)
#
# BUILD_DIR (default build-package) is configured here if it is not yet.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
build_dir=${1:-build-package}

if [[ $(id -u) -ne 0 ]]; then
  echo "ci-install-check: run as root (it installs the package with dpkg)" >&2
  exit 2
fi

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEPA_WERROR=ON -DZEPA_TESTS=OFF \
  -DZEPA_BENCHMARKS=OFF
cmake --build "$build_dir"
(cd "$build_dir" && cpack -G DEB)
package=$(ls -t "$build_dir"/zepaisp_*.deb | head -n 1)
echo "ci-install-check: installing $package"
dpkg -i "$package" || { apt-get install -f -y && dpkg -i "$package"; }

for file in /usr/bin/zepaisp-cli /usr/bin/fusebuild /usr/bin/fusedump /usr/share/doc/zepa/manual.md \
  /usr/share/doc/zepa/examples/chain.jcd /usr/lib/udev/rules.d/60-zepaisp-parport.rules; do
  [[ -e $file || -e ${file#/usr} ]] || { echo "ci-install-check: $file is not installed" >&2; exit 1; }
done

# An unprivileged user with a home of its own, far from the source tree.
user=zepa-ci
id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_user() {
  setpriv --reuid="$user" --regid="$user" --init-groups --reset-env -- env HOME="$home" \
    PATH=/usr/bin:/bin bash -c "$1"
}

# (Copies go to files, not to /dev/stderr: reopening a log file that stderr points to would write over it.)
as_user 'cd "$HOME" && zepaisp-cli --version' >/tmp/zepa-ci-version.txt
cat /tmp/zepa-ci-version.txt
grep -q '^zepaisp-cli ' /tmp/zepa-ci-version.txt
as_user 'rm -rf "$HOME/examples" && cp -r /usr/share/doc/zepa/examples "$HOME/examples" &&
         cd "$HOME/examples" && zepaisp-cli --io sim:board.sim chain.jcd' | tee /tmp/zepa-ci-run.txt
grep -q '^PASS$' /tmp/zepa-ci-run.txt
# The run's working files went to the user's own working folder, not beside the programs.
as_user 'test -f "$HOME/.local/state/zepaisp/zepaisp.log"'
[[ ! -e /usr/bin/zepaisp.log ]]
case "$source_dir" in "$home"*) echo "ci-install-check: ran inside the source tree" >&2; exit 1 ;; esac
echo "ci-install-check: passed"
