# Claude Code's road: the engine installs its hook into Claude Code's settings; the installed hook
# command, fed the call Claude Code sends before running "sudo ls", makes the app ask, and
# "Don't allow" on the approval panel reaches the hook as a deny.
"$VARDEX_ENGINE_EXE" install --claude >"$ROAD_DIR/install.txt" 2>&1 || fail "install --claude: $(cat "$ROAD_DIR/install.txt")"
hook=$(python3 -c '
import json, sys
settings = json.load(open(sys.argv[1]))
print(settings["hooks"]["PreToolUse"][0]["hooks"][0]["command"])' "$HOME/.claude/settings.json")
case "$hook" in *" hook claude"*) ;; *) fail "the installed hook is not the engine's: $hook" ;; esac

app_start
step wait-until connected 30
payload='{"session_id":"road-6","transcript_path":"/dev/null","cwd":"'"$HOME"'","hook_event_name":"PreToolUse","tool_name":"Bash","tool_input":{"command":"sudo ls","description":"List files as root"}}'
(printf '%s' "$payload" | sh -c "$hook" >"$ROAD_DIR/hook.json"; echo $? >"$ROAD_DIR/hook.status") &
hook_pid=$!
step wait-until 'pending>=1' 20
step capture claude-question
expect_in "$ROAD_DIR/commands.out" "claude-question-approval.png" "the approval panel was on screen"
# The panel's buttons arm a moment after a question appears, so a click may come too early.
answered=
for _ in $(seq 30); do
    if step -may-fail click approvalDeny; then answered=yes; break; fi
    sleep 0.2
done
[ -n "$answered" ] || fail "Don't allow could not be pressed"
wait "$hook_pid"
expect_eq "$(cat "$ROAD_DIR/hook.status")" 0 "the hook's exit status"
expect_in "$ROAD_DIR/hook.json" '"permissionDecision":"deny"' "the hook's answer"
app_quit
