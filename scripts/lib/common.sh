# Shared by scripts/run and scripts/test: install what is missing, configure and build.

REPO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_DIR=${QV_BUILD_DIR:-$REPO_ROOT/build}

BUILD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev libusb-1.0-0-dev libcli11-dev
                libgtest-dev umockdev libumockdev-dev fonts-dejavu-core nlohmann-json3-dev help2man
                libsqlite3-dev libpq-dev)
# What only running the tests needs: the databases' own clients and server, and a browser for
# the report's page.
TEST_PACKAGES=(sqlite3 postgresql chromium)

# Installs with apt-get the packages of the given list that are not installed yet.
install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds the whole project. scripts/run and scripts/test configure the build the
# same way (warnings as errors, tests included), so that one never rebuilds what the other built;
# extra arguments go to the configure step.
configure_and_build() {
    cmake -S "$REPO_ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_WERROR=ON \
        -DQV_BUILD_TESTS=ON "$@"
    cmake --build "$BUILD_DIR" -j"$(nproc)"
}

# Says where the programs are and how to put them on PATH.
show_programs() {
    echo "Built $BUILD_DIR/cli/qvusb and $BUILD_DIR/app/quorvex-usbtool; to run them by name:"
    echo "    export PATH=\"$BUILD_DIR/cli:$BUILD_DIR/app:\$PATH\""
}

# Starts a throwaway PostgreSQL server for the database tests (a cluster in a temporary folder,
# reached through a Unix socket only) and exports its URL as QV_TEST_POSTGRES; the server is
# stopped and the folder removed when the calling script exits. Needs root (the server runs as
# the postgres user); without root the PostgreSQL tests are skipped.
start_test_postgres() {
    [ "$(id -u)" -eq 0 ] || { echo "Not root: the PostgreSQL tests are skipped."; return 0; }
    local bin
    bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
    PG_FOLDER=$(mktemp -d)
    chown postgres: "$PG_FOLDER"
    runuser -u postgres -- "$bin/initdb" -D "$PG_FOLDER/data" -A trust -U postgres >/dev/null
    runuser -u postgres -- "$bin/pg_ctl" -D "$PG_FOLDER/data" -l "$PG_FOLDER/server.log" -w \
        -o "-k $PG_FOLDER -c listen_addresses=''" start >/dev/null
    trap 'runuser -u postgres -- "'"$bin"'/pg_ctl" -D "$PG_FOLDER/data" -m fast -w stop >/dev/null; rm -rf "$PG_FOLDER"' EXIT
    runuser -u postgres -- createdb -h "$PG_FOLDER" qvusb_test
    export QV_TEST_POSTGRES="postgresql:///qvusb_test?host=$PG_FOLDER&user=postgres"
}
