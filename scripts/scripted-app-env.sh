# Sourced by the headless demo and the end-to-end roads: the environment of an app driven through
# its command file from folder $1, with engine $2. A temporary home, the engine's socket and every
# file the harness reads or writes live in that folder; first-run screens and prompts are skipped.
export HOME="$1/home"
export VARDEX_BIN="$2"
export VARDEX_SOCK="$1/vardex.sock"
export VARDEX_COMMAND_FILE="$1/commands"
export VARDEX_CAPTURE_DIR="$1/screens"
export VARDEX_EXPORT_FILE="$1/export.jsonl"
export VARDEX_SKIP_ONBOARDING=1 VARDEX_SKIP_CONSENT=1 VARDEX_SKIP_LAUNCHCTL=1 VARDEX_SKIP_MOVE_PROMPT=1
export VARDEX_V2_EXAMPLE=1
unset VARDEX_STATUS_FILE
# The app's and the engine's state follow HOME, not a desktop session's own folders.
unset XDG_STATE_HOME XDG_CONFIG_HOME
mkdir -p "$HOME" "$VARDEX_CAPTURE_DIR"
