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

# Runs a shell command when the calling script exits, after those given before it: the
# throwaway servers below and the caller's own clean-up share the one EXIT trap.
QV_EXIT_COMMANDS=()
on_exit() {
    QV_EXIT_COMMANDS+=("$1")
    trap 'for command in "${QV_EXIT_COMMANDS[@]}"; do eval "$command" || true; done' EXIT
}

# The programs of the newest PostgreSQL installed.
postgres_bin() {
    ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1
}

# Starts a throwaway PostgreSQL server for the database tests (a cluster in a temporary folder,
# reached through a Unix socket only) and exports its URL as QV_TEST_POSTGRES; the server is
# stopped and the folder removed when the calling script exits. Needs root (the server runs as
# the postgres user); without root the PostgreSQL tests are skipped.
start_test_postgres() {
    [ "$(id -u)" -eq 0 ] || { echo "Not root: the PostgreSQL tests are skipped."; return 0; }
    local bin folder
    bin=$(postgres_bin)
    folder=$(mktemp -d)
    chown postgres: "$folder"
    on_exit "runuser -u postgres -- '$bin/pg_ctl' -D '$folder/data' -m fast -w stop >/dev/null; rm -rf '$folder'"
    runuser -u postgres -- "$bin/initdb" -D "$folder/data" -A trust -U postgres >/dev/null
    runuser -u postgres -- "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
        -o "-k $folder -c listen_addresses=''" start >/dev/null
    runuser -u postgres -- createdb -h "$folder" qvusb_test
    export QV_TEST_POSTGRES="postgresql:///qvusb_test?host=$folder&user=postgres"
}

# Starts a throwaway PostgreSQL server as a Windows client reaches one: over TCP on 127.0.0.1, on
# a free port, where the role qvtest logs in with a SCRAM-SHA-256 password. Exports its URL as
# QV_TEST_POSTGRES_TCP and the password as PGPASSWORD (libpq reads it there; the URL carries
# none). Stopped and removed when the calling script exits; needs root, as above.
start_test_postgres_tcp() {
    [ "$(id -u)" -eq 0 ] || { echo "Not root: the PostgreSQL tests over TCP are skipped."; return 0; }
    local bin folder port="" password
    bin=$(postgres_bin)
    folder=$(mktemp -d)
    chown postgres: "$folder"
    on_exit "runuser -u postgres -- '$bin/pg_ctl' -D '$folder/data' -m fast -w stop >/dev/null 2>&1; rm -rf '$folder'"
    runuser -u postgres -- "$bin/initdb" -D "$folder/data" -U postgres --auth-local=trust \
        --auth-host=scram-sha-256 >/dev/null
    # A port another program holds fails the start: another is tried.
    for _ in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 40000))
        runuser -u postgres -- "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
            -o "-k $folder -p $port -c listen_addresses=127.0.0.1" start >/dev/null && break
        port=""
    done
    [ -n "$port" ] || { cat "$folder/server.log"; return 1; }
    password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    runuser -u postgres -- psql -h "$folder" -p "$port" -q -v ON_ERROR_STOP=1 \
        -c "SET password_encryption = 'scram-sha-256'" \
        -c "CREATE ROLE qvtest LOGIN PASSWORD '$password'"
    runuser -u postgres -- createdb -h "$folder" -p "$port" -O qvtest qvusb_test
    export PGPASSWORD=$password
    export QV_TEST_POSTGRES_TCP="postgresql://127.0.0.1:$port/qvusb_test?user=qvtest"
}
