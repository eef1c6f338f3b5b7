#pragma once
// Response processing on the GUI thread: every response fragment the poll cycle handed
// over is walked object by object; each object goes to the decoder of its group, which
// updates the point image and raises alarms, and parsing goes on after every object whose
// size is known. Every failed check is one alarm and ends the element; nothing outside
// the element is ever read.
#include <cstdint>
#include <string>

#include "response/EventRepeats.h"
#include "response/FrameHandler.h"
#include "response/ObjectReader.h"

class CQueltHandler : public CFrameHandler {
public:
    // Decodes every element of the response list, oldest first (timer 1).
    void ProcessResponses();
    // Decodes one element (length in its first two octets, then IIN, then objects) that
    // answers a request with this function code (0: not known).
    void ProcessElement(const std::uint8_t* pElement, int nLength, std::uint8_t byAnswers = 0);

    const std::uint8_t* m_pFrame = nullptr;  // the element being decoded
    std::uint8_t m_byAnswers = 0;             // and the request it answers

    // A decoder returns where its object ends (parsing goes on there, or the element is
    // reported cut short when that lies beyond it), or the element's length to end it.
    // It writes what the element holds and never reads beyond it.
    using Decoder = int (CQueltHandler::*)(const CObjectReader& r, int p, const ObjectRange& range,
                                           std::uint8_t byVar);

    int DecodeBinaryInputs(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    int DecodeBinaryEvents(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    int DecodeControlBlock(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    int DecodeCounters(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    int DecodeAnalogs(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    int DecodeAnalogEvents(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    int DecodeCto(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    int AcceptObject(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    // Groups 52 and 80: not decoded, but skipped when their size is known.
    int SkipTimeDelay(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);
    int SkipIndications(const CObjectReader& r, int p, const ObjectRange& range, std::uint8_t byVar);

private:
    int ProcessObject(const CObjectReader& r, int p);
    // Ends the element because an object runs past its end.
    static int Truncated(const CObjectReader& r);

    // Lists one event line, or counts a repeat of one listed lately.
    void ListEvent(std::uint64_t qwTime, int nPoint, int nState, bool bUnsynced = false);
    // A select or operate answered without its echo, refused by an error IIN: it ends now.
    void ControlRefusedByIin();

    // Common time of occurrence: carried across the objects and elements of one call.
    std::uint64_t m_qwCto = 0;
    bool m_bCtoUnsynced = false;  // IEEE 1815 UTC: the RTU said its clock is not synchronised
    bool m_bControlBlock = false;  // the element being decoded echoed a control block
    CEventRepeats m_Repeats;
    int m_nRepeats = 0;  // in this call
};

// The select and operate watches (timers 2 and 3): an alarm once 15 s have passed
// without an answer.
void CheckSelectTimeout();
void CheckOperateTimeout();

// The event line of one time-tagged binary-input event. Month-relative times are dated
// today; IEEE 1815 UTC times carry their own date, marked when the RTU's clock cannot be
// right (before 1990, or more than a day ahead) or said it was not synchronised.
std::string SoeLine(std::uint64_t qwTime, int nPoint, int nState, bool bUnsynced = false);
