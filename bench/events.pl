# Event workload for Perl's XML::Parser: empty handlers.
#
#   perl events.pl FILE three|all [whole|chunked]
#
# three: Start, End and Char; all: every handler XML::Parser offers.
# whole: the text in one parse call (default); chunked: in 64 KB pieces
# through parse_more (read before the clock starts).
# Prints "parse=SECONDS" (processor time of the parse alone).
use strict;
use warnings;
use XML::Parser;
use POSIX ();

my ($path, $mode, $feed) = @ARGV;
$mode //= 'three';
$feed //= 'whole';
open(my $fh, '<:raw', $path) or die "$path: $!";
my @pieces;
if ($feed eq 'chunked') {
  local $/ = \65536;
  @pieces = <$fh>;
} elsif ($feed eq 'whole') {
  local $/;
  @pieces = (scalar <$fh>);
} else {
  die "unknown feed $feed";
}
close $fh;

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
  $nb->parse_more($_) for @pieces;
  $nb->parse_done;
} else {
  $parser->parse($pieces[0]);
}
my $elapsed = cpu() - $start;
printf "parse=%.6f\n", $elapsed;
