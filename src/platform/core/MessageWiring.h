#pragma once
// The check of messages sent by name. A method declared with ClassBuilder::method records the
// kind of value each argument must arrive as; a send packs its arguments as values of kinds of
// its own. Nothing but the running program compares the two: a sender that passes a text where
// every receiver takes an object fails only when the message is sent, as an exception out of a
// click. While recording is on, every send notes its selector and its arguments' kinds, and
// messageWiringFaults() holds them against every registered class that declares the selector:
//
//   plat::setRecordingSentMessages(true);
//   ... the program runs ...
//   EXPECT_EQ(plat::messageWiringFaults(), std::vector<std::string>{});
#include <string>
#include <vector>

namespace plat {

// Turns the record of sent messages on or off; off unless a test turns it on. Turning it on
// starts a fresh record.
void setRecordingSentMessages(bool on);

class Object;
class Invocation;

// Notes a message that a forwarder delivers under another name (a delegator's prefixed
// callback), so that it is held against the receivers of the name it arrives under.
void recordForwardedMessage(const Object* target, const Invocation& invocation);

// One line per fault: a recorded send whose argument count or kinds a registered receiver of
// its selector does not take, receivers of a sent selector that disagree among themselves, and
// an object passed to a method that takes objects of another class.
// Receivers are the classes registered so far (a class registers on its first use).
std::vector<std::string> messageWiringFaults();

}  // namespace plat
