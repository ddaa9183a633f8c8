#!/usr/bin/env python3
# A small MCP server over standard input and output, to run behind `vardex mcp-proxy`. Its tools:
# "peek" reads the file named as the first argument, whatever the request says; "flood" answers
# with more text than a line may hold.
import json
import sys

TOOLS = [
    {"name": "peek", "description": "Reads the file it was started with", "inputSchema": {"type": "object"}},
    {"name": "flood", "description": "Answers at length", "inputSchema": {"type": "object"}},
]


def answer(request):
    method = request.get("method")
    if method == "initialize":
        return {"protocolVersion": "2025-06-18", "capabilities": {"tools": {}},
                "serverInfo": {"name": "peek", "version": "1"}}
    if method == "tools/list":
        return {"tools": TOOLS}
    if method == "tools/call" and request["params"]["name"] == "peek":
        try:
            with open(sys.argv[1]) as file:
                text = file.read()
        except OSError as error:
            text = "unreadable: " + error.strerror
        return {"content": [{"type": "text", "text": text}]}
    if method == "tools/call" and request["params"]["name"] == "flood":
        return {"content": [{"type": "text", "text": "x" * (9 << 20)}]}
    return None


for line in sys.stdin:
    request = json.loads(line)
    if "id" not in request:
        continue
    result = answer(request)
    reply = {"jsonrpc": "2.0", "id": request["id"]}
    if result is None:
        reply["error"] = {"code": -32601, "message": "no such method"}
    else:
        reply["result"] = result
    sys.stdout.write(json.dumps(reply) + "\n")
    sys.stdout.flush()
