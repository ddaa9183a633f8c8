# Claude Code's road through the sandbox: the installed hook hands back every ordinary command it
# allows as a command line that runs it inside `vardex sandbox`, keeps the rest of the tool input,
# and that line, run by bash in the project, prints what the original prints and ends the same way.
. "$here/agent_hook.sh"
# doctor ends with a failure while the daemon is off; its sandbox line is what counts here.
sandbox_line=$("$VARDEX_ENGINE_EXE" doctor 2>/dev/null | grep '^Sandbox:' || true)
case "$sandbox_line" in
    "Sandbox: ok."*) ;;
    *) echo "SKIP: no sandbox on this machine: $sandbox_line"; return 0 ;;
esac
"$VARDEX_ENGINE_EXE" install --claude >"$ROAD_DIR/install.txt" 2>&1 || fail "install --claude: $(cat "$ROAD_DIR/install.txt")"
hook=$(installed_hook claude .claude/settings.json)
[ -n "$hook" ] || fail "no hook of the engine for claude"

project="$ROAD_DIR/home/project"
mkdir -p "$project/src"
printf 'A project\nwith two lines\n' >"$project/README.md"
printf 'int main(void) { return 0; } /* TODO: more */\n' >"$project/src/main.c"
printf 'carol\nalice\nbob\nalice\n' >"$project/names.txt"
printf 'a,1\nb,2\nc,39\n' >"$project/data.csv"
printf 'all:\n\tcc -o app src/main.c\n' >"$project/Makefile"
git -C "$project" init -q && git -C "$project" add . &&
    git -C "$project" -c user.name=road -c user.email=road@example.invalid commit -qm start

app_start
step wait-until connected 30
here="$here" project="$project" hook="$hook" python3 - <<'PY' || fail "a sandboxed command differed from the original"
import json, os, subprocess, sys

project, hook = os.environ["project"], os.environ["hook"]
commands = open(os.path.join(os.environ["here"], "roads", "sandbox_commands.txt")).read().rstrip("\n").split("\n---\n")
failures = 0
def run(command):
    done = subprocess.run(["bash", "-c", command], cwd=project, capture_output=True, timeout=60)
    return done.returncode, done.stdout, done.stderr
for number, command in enumerate(commands):
    call = {"session_id": "road-sandbox", "transcript_path": "/dev/null", "cwd": project,
            "permission_mode": "default", "hook_event_name": "PreToolUse", "tool_name": "Bash",
            "tool_input": {"command": command, "description": "step %d" % number}, "tool_use_id": "toolu_%d" % number}
    answer = subprocess.run(["sh", "-c", hook], input=json.dumps(call).encode(), capture_output=True, timeout=60)
    output = json.loads(answer.stdout)["hookSpecificOutput"]
    updated = output.get("updatedInput", {})
    if output["permissionDecision"] != "allow" or updated.get("description") != "step %d" % number \
            or " sandbox -- bash -c " not in updated.get("command", ""):
        print("not sandboxed: %r -> %r" % (command, output)); failures += 1; continue
    original, contained = run(command), run(updated["command"])
    if original != contained:
        print("differs: %r\n  original:  %r\n  sandboxed: %r" % (command, original, contained)); failures += 1
print("%d commands, %d differed" % (len(commands), failures))
sys.exit(1 if failures else 0)
PY
app_quit
