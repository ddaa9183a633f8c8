# An agent asks, the question shows, it is allowed once, the agent goes on, and one refresh later
# the activity list holds the action the engine logged. The app is asked to open its windows at
# start, so the question is photographed beside them.
VARDEX_OPEN_WINDOWS=1 app_start
step wait-until connected 30
agent_asks road-1 "sudo ls /root" "$ROAD_DIR/agent.txt"
step wait-until 'pending>=1' 20
step capture question
for surface in approval dashboard log; do
    expect_in "$ROAD_DIR/commands.out" "question-$surface.png" "the windows on screen"
done
step answer first allow_once
wait "$agent_pid" || fail "the agent was not let through: $(cat "$ROAD_DIR/agent.txt")"
expect_in "$ROAD_DIR/agent.txt" "allow (priv.sudo)" "the agent's answer"
step state
expect_eq "$(result pending)" "[]" "questions still waiting"

# A secret is refused by the engine itself: nothing is asked, and the refusal is listed too.
if "$VARDEX_ENGINE_EXE" ask --agent claude --session road-1 --shell "cat ~/.ssh/id_rsa" >"$ROAD_DIR/agent-2.txt"; then
    fail "reading a private key was let through"
fi
expect_in "$ROAD_DIR/agent-2.txt" "deny (secrets.ssh_private_key)" "the agent's answer for a private key"
step state
expect_eq "$(result pending)" "[]" "questions waiting after a refusal by rule"

step refresh
step wait-until idle 20
step export-log "$ROAD_DIR/activity.jsonl"
expect_in "$ROAD_DIR/activity.jsonl" '"decision":"ask"' "the activity list: a question the user answered"
expect_in "$ROAD_DIR/activity.jsonl" 'sudo ls /root' "the activity list"
expect_in "$ROAD_DIR/activity.jsonl" '"rule_id":"secrets.ssh_private_key"' "the activity list"
step page activity
step capture activity
app_quit
