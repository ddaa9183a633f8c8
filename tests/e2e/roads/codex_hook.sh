# Codex's road: its PreToolUse call for the shell tool, the command as an argument vector.
. "$here/agent_hook.sh"
agent_hook_road codex .codex/hooks.json \
    '{"session_id":"road-8","transcript_path":"/dev/null","cwd":"'"$HOME"'","model":"gpt-5-codex","permission_mode":"default","hook_event_name":"PreToolUse","tool_use_id":"call_1","tool_name":"shell","tool_input":{"command":["bash","-lc","sudo ls"]}}' \
    '"permissionDecision":"deny"'
