Content-Length: 83

{"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {"capabilities": {}}}Content-Length: 174

{"jsonrpc": "2.0", "method": "textDocument/didOpen", "params": {"textDocument": {"uri": "file:///s.bas", "version": 1, "text": "10 SCORE=1:GOTO @a\n@a\nPRINT \"\u30a2\"\n"}}}Content-Length: 242

{"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {"textDocument": {"uri": "file:///s.bas", "version": 2}, "contentChanges": [{"range": {"start": {"line": 0, "character": 3}, "end": {"line": 0, "character": 4}}, "text": "X"}]}}Content-Length: 154

{"jsonrpc": "2.0", "id": 2, "method": "textDocument/hover", "params": {"textDocument": {"uri": "file:///s.bas"}, "position": {"line": 0, "character": 6}}}Content-Length: 127

{"jsonrpc": "2.0", "id": 3, "method": "textDocument/semanticTokens/full", "params": {"textDocument": {"uri": "file:///s.bas"}}}Content-Length: 49

{"jsonrpc": "2.0", "id": 4, "method": "shutdown"}Content-Length: 36

{"jsonrpc": "2.0", "method": "exit"}