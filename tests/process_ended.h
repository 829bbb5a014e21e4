// How a failing conversion inside the test process ends: end_process throws this.
#pragma once

struct ProcessEnded {
    int status;
};
