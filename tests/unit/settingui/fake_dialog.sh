#!/bin/sh
# Stands in for the settings dialog program: notes every line the plug-in sends in
# $FAKE_DIALOG_LOG, acts as the test scripted in $FAKE_DIALOG_SAYS once the dialog is shown, and
# answers a message box as closed and a raise with Cancel. $FAKE_DIALOG_SHOWN, a named pipe, is
# told when the dialog is shown; $FAKE_DIALOG_QUIT set leaves at that point without a word;
# $FAKE_DIALOG_LINGER set stays on after its end, holding its output open.
while IFS= read -r line; do
    printf '%s\n' "$line" >>"$FAKE_DIALOG_LOG"
    [ "$line" = show ] && break
done
[ -n "$FAKE_DIALOG_SHOWN" ] && echo shown >"$FAKE_DIALOG_SHOWN"
[ -n "$FAKE_DIALOG_QUIT" ] && exit 3
printf '%s' "$FAKE_DIALOG_SAYS"
while IFS= read -r line; do
    printf '%s\n' "$line" >>"$FAKE_DIALOG_LOG"
    case "$line" in
        end*) [ -n "$FAKE_DIALOG_LINGER" ] && exec sleep 600
              exit 0 ;;
        message*) printf 'message-closed\n' ;;
        raise) printf 'cancel\n' ;;
    esac
done
