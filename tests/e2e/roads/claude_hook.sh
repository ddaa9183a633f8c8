# Claude Code's road: its PreToolUse call for a Bash command, answered in hookSpecificOutput.
. "$here/agent_hook.sh"
agent_hook_road claude .claude/settings.json \
    '{"session_id":"road-6","transcript_path":"/dev/null","cwd":"'"$HOME"'","permission_mode":"default","hook_event_name":"PreToolUse","tool_name":"Bash","tool_input":{"command":"sudo ls","description":"List files as root"},"tool_use_id":"toolu_1"}' \
    '"permissionDecision":"deny"'
