# The event-log check's selection, as one would write it with jq: the system
# event log records with one of the adapter drivers' event IDs whose message
# names one of their driver files, one line each.
def plain: if type == "object" then (to_entries[0].value) else . end;
def number: if type == "number" then floor else (tostring | tonumber? // 0) end;

(.classes.QELSG_WindowsSystemEventLogRecord // []) | arrays | .[]
| (.EventID | plain) as $id | select($id != null)
| ($id | number) as $event
| select([9, 11, 15, 26, 50, 51] | index($event))
| (.Message | plain) as $message | select($message != null)
| ($message | tostring) as $text
| (if ($text | contains("zelk412.sys")) then "zelk412.sys"
   elif ($text | contains("qvtmpdrv.sys")) then "qvtmpdrv.sys"
   else empty end) as $driver
| "Tarvex: Found in system event log a message with event id \($event) associated with \($driver), the message reads \($text)"
