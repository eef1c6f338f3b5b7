#include "app/Recording.h"

#include "channel/LineSettings.h"
#include "channel/PortMap.h"
#include "channel/TcpEndpoint.h"
#include "monitor/AlarmLog.h"
#include "record/LineTap.h"
#include "record/Recorder.h"

namespace {

RecordingRequest g_StartupRecording;
// The recorder outlives the tap that feeds it: statics end in reverse order.
CPcapngRecorder g_Recorder;
CLineTap g_Tap;

// A TCP line by its endpoint, "tcp 10.0.0.5:20000"; a serial one by its device.
std::string InterfaceName(int nPort)
{
    const std::string device = PortDevice(nPort);
    const std::optional<TcpEndpoint> endpoint = ParseTcpDevice(device);
    return endpoint ? "tcp " + endpoint->Text() : device;
}

std::string InterfaceDescription(int nPort)
{
    if (IsTcpDevice(PortDevice(nPort)))
        return PortName(nPort) + " DNP3 " + InterfaceName(nPort);
    const LineSettings line = CurrentLineSettings();
    return PortName(nPort) + " DNP3 " + std::to_string(line.nBaudRate) + " " + std::to_string(line.nDataBits) +
           ParityLetter(line.nParity) + StopBitsText(line.nStopBits);
}

}  // namespace

void SetStartupRecording(const RecordingRequest& request) { g_StartupRecording = request; }

const RecordingRequest& StartupRecording() { return g_StartupRecording; }

void StartLineTap()
{
    g_Tap.OnFirstLoss([](std::uint64_t nLost) {
        AddAlarm("报文监听队列已满, 丢失 " + std::to_string(nLost) + " 字节 (记录中已注明)");
    });
    g_Recorder.OnError([](const std::string& reason) { AddAlarm("报文记录已停止: " + reason); });
    g_Tap.Start();
    InstallLineTap(&g_Tap);
}

void AddTapSink(ITapSink* pSink) { g_Tap.AddSink(pSink); }

void RemoveTapSink(ITapSink* pSink) { g_Tap.RemoveSink(pSink); }

void StopLineTap()
{
    InstallLineTap(nullptr);
    g_Tap.Stop();
    StopRecording();
}

bool StartRecording(const RecordingRequest& request, std::string& reason)
{
    RecordingOptions options;
    options.Path = request.Path;
    options.nMaxMb = request.nMaxMb;
    options.nFiles = request.nFiles;
    for (int nPort = 0; nPort < 2; ++nPort) {
        options.Names[nPort] = InterfaceName(nPort);
        options.Descriptions[nPort] = InterfaceDescription(nPort);
    }
    if (!g_Recorder.Open(options, reason))
        return false;
    g_Tap.AddSink(&g_Recorder);
    return true;
}

void StopRecording()
{
    g_Tap.RemoveSink(&g_Recorder);
    g_Recorder.Close();
}

bool IsRecording() { return g_Recorder.IsOpen(); }

std::string RecordingPath() { return g_Recorder.CurrentPath(); }
