# The road of one coding agent's installed hook, shared by the agents' roads: the engine installs
# its hook into the agent's own file; the command found there, fed the call the agent sends
# before running "sudo ls", makes the app ask; "Don't allow" on the approval panel reaches the
# hook, which answers the agent in its own format.
#   agent_hook_road AGENT FILE CALL DENIAL
# FILE is the agent's hook file under HOME, CALL the agent's input, DENIAL a piece of the answer
# that only a denial in the agent's format holds.

# The command of the engine's hook for AGENT in FILE (under HOME), as the agent runs it; nothing
# when there is none.
installed_hook() {  # AGENT FILE
    python3 -c '
import json, sys
def commands(value):
    if isinstance(value, dict):
        for key, item in value.items():
            if key == "command" and isinstance(item, str):
                yield item
            else:
                yield from commands(item)
    elif isinstance(value, list):
        for item in value:
            yield from commands(item)
mark = " hook " + sys.argv[2] + ")"
print(next((c for c in commands(json.load(open(sys.argv[1]))) if mark in c), ""), end="")' "$HOME/$2" "$1"
}

agent_hook_road() {
    local agent=$1 file=$2 call=$3 denial=$4
    "$VARDEX_ENGINE_EXE" install --"$agent" >"$ROAD_DIR/install.txt" 2>&1 ||
        fail "install --$agent: $(cat "$ROAD_DIR/install.txt")"
    local hook
    hook=$(installed_hook "$agent" "$file")
    [ -n "$hook" ] || fail "no hook of the engine for $agent in $file"

    app_start
    step wait-until connected 30
    (printf '%s' "$call" | sh -c "$hook" >"$ROAD_DIR/hook.json"; echo $? >"$ROAD_DIR/hook.status") &
    local hook_pid=$!
    step wait-until 'pending>=1' 20
    step capture "$agent-question"
    expect_in "$ROAD_DIR/commands.out" "$agent-question-approval.png" "the approval panel was on screen"
    # The panel's buttons arm a moment after a question appears, so a click may come too early.
    local answered=
    for _ in $(seq 30); do
        if step -may-fail click approvalDeny; then answered=yes; break; fi
        sleep 0.2
    done
    [ -n "$answered" ] || fail "Don't allow could not be pressed"
    wait "$hook_pid"
    expect_eq "$(cat "$ROAD_DIR/hook.status")" 0 "the hook's exit status"
    expect_eq "$(wc -l <"$ROAD_DIR/hook.json")" 1 "the lines the hook printed"
    expect_in "$ROAD_DIR/hook.json" "$denial" "the hook's answer"
    app_quit
}
