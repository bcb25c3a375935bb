#!/bin/sh
# An example alert command for Ostraline (Tools > Options > Alerts > Command):
#   /path/to/alert-example.sh /path/to/alerts.txt
# Ostraline runs it without a shell for every raised and cleared alert, with the alert in
# OSTRALINE_ALERT_* variables, and stops it after 10 seconds. This one appends a line to the
# file given as its argument and, when ALERT_WEBHOOK is set in Ostraline's environment, posts
# the line to that chat webhook (a JSON {"text": ...} body, as most chat services take).
set -eu
line="$OSTRALINE_ALERT_TIME $OSTRALINE_ALERT_INTERFACE ($OSTRALINE_ALERT_ADDRESS #$OSTRALINE_ALERT_IFINDEX): $OSTRALINE_ALERT_CONDITION $OSTRALINE_ALERT_STATE, $OSTRALINE_ALERT_VALUE"
printf '%s\n' "$line" >> "${1:-$HOME/ostraline-alerts.txt}"
if [ -n "${ALERT_WEBHOOK:-}" ]; then
    # The text goes through jq so that quotes in an interface name cannot break the JSON.
    printf '%s' "$line" | jq -Rs '{text: .}' |
        curl --silent --show-error --max-time 8 -H 'Content-Type: application/json' \
            --data @- "$ALERT_WEBHOOK" > /dev/null
fi
