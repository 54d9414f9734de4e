# Event workload for Perl's XML::Parser: empty handlers.
#
#   perl events.pl FILE three|all [whole|chunked]
#
# three: Start, End and Char; all: every handler XML::Parser offers.
# whole: the text read first, then given to one parse call (default);
# chunked: the file read and given to parse_more in 64 KB pieces (the
# reading is then part of the time).
# Prints "parse=SECONDS" (processor time of the parse, with the reading of
# the pieces when chunked).
use strict;
use warnings;
use XML::Parser;
use POSIX ();

my ($path, $mode, $feed) = @ARGV;
$mode //= 'three';
$feed //= 'whole';
open(my $fh, '<:raw', $path) or die "$path: $!";
die "unknown feed $feed" unless $feed eq 'whole' || $feed eq 'chunked';
my $text = $feed eq 'whole' ? do { local $/; <$fh> } : undef;

sub none { }
my @three = (Start => \&none, End => \&none, Char => \&none);
my @all = (@three, Proc => \&none, Comment => \&none, CdataStart => \&none,
           CdataEnd => \&none, Default => \&none, Unparsed => \&none,
           Notation => \&none, ExternEnt => sub { '' }, ExternEntFin => \&none,
           Entity => \&none, Element => \&none, Attlist => \&none,
           Doctype => \&none, DoctypeFin => \&none, XMLDecl => \&none);

sub cpu { return POSIX::clock() / 1e6; }

my $start = cpu();
my $parser = XML::Parser->new(Handlers => { $mode eq 'all' ? @all : @three });
if ($feed eq 'chunked') {
  my $nb = $parser->parse_start;
  my $piece;
  $nb->parse_more($piece) while read($fh, $piece, 65536);
  $nb->parse_done;
} else {
  $parser->parse($text);
}
my $elapsed = cpu() - $start;
close $fh;
printf "parse=%.6f\n", $elapsed;
