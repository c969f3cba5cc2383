#include "core/RunLog.h"

RunLog::RunLog (const juce::File& file)
{
    if (file.isDirectory())
    {
        status = juce::Result::fail (file.getFullPathName() + " is a folder");
        return;
    }

    // Unbuffered: each line reaches the file when it is written. The stream appends.
    stream = std::make_unique<juce::FileOutputStream> (file, 0);

    if (stream->failedToOpen())
    {
        status = juce::Result::fail (file.getFullPathName() + ": " + stream->getStatus().getErrorMessage());
        stream.reset();
    }
}

void RunLog::write (const juce::String& text)
{
    if (stream == nullptr)
        return;

    const auto line = juce::Time::getCurrentTime().toISO8601 (true) + " " + text.replaceCharacters ("\r\n", "  ") + "\n";
    stream->write (line.toRawUTF8(), line.getNumBytesAsUTF8());
    stream->flush();
}
