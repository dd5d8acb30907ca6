#include "shell/ui_queue.h"

bool SendToUiThread(const UiQueueCalls& calls) {
    for (;;) {
        const UiHandOff answer = calls.send(calls.context);
        if (answer != UiHandOff::NoRoom)
            return answer == UiHandOff::Done;
        calls.pause(calls.context);
    }
}

bool HandOffToUiThread(const UiQueueCalls& calls) {
    unsigned refusals = 0;
    for (;;) {
        switch (calls.post(calls.context)) {
            case UiHandOff::Done:
                return true;
            case UiHandOff::NoWindow:
                return false;
            case UiHandOff::NoRoom:
                // The UI thread frees a slot with every request it runs.
                break;
            case UiHandOff::Refused:
                if (++refusals >= kRefusedPostTries)
                    return SendToUiThread(calls);
                break;
        }
        calls.pause(calls.context);
    }
}
