#include "core/io/output_block.h"

namespace morvane {

void start_output(OutputBlock &output, Sink sink) {
    output.sink = sink;
    output.written = 0;
    output.fill = 0;
    output.failed = false;
}

void take_output_back_to(OutputBlock &output, std::uint64_t position) {
    if (position >= output.written) {
        output.fill = static_cast<std::size_t>(position - output.written);
        return;
    }
    output.fill = 0;
    if (output.sink.truncate != nullptr && output.sink.truncate(output.sink.context, position))
        output.written = position;
}

bool flush_output(OutputBlock &output) {
    std::size_t count = output.fill;
    output.fill = 0;
    output.written += count;
    // After a refusal nothing more is written, as if the run had ended there.
    if (!output.failed && count > 0 && !output.sink.write(output.sink.context, output.bytes, count))
        output.failed = true;
    return !output.failed;
}

} // namespace morvane
