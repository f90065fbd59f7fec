-- The second demo database: the first one with a few differences, for object comparison.
drop view store_totals
go
drop procedure byroyalty
go
create procedure byroyalty @percentage int = 100
as
-- Ordered by royalty share since release 2.
select au_id, royaltyper from titleauthor where royaltyper >= @percentage order by royaltyper desc
go
-- Title ids are fixed-width codes since release 2.
drop table blurbs
go
create table blurbs (
    title_id char(6) not null,
    copy text null
)
go
insert blurbs values ("BU1032", "Everything an owner-builder needs between the foundation and the roof: tools, lumber lists and the order of the work.")
insert blurbs values ("PC8888", "Most houseplants are killed by kindness. This book explains what they want instead.")
insert blurbs values ("MC3026", null)
go
-- Sales are looked up by date and store together.
drop index sales.salesdateind
go
create nonclustered index salesdateind on sales (ord_date, stor_id)
go
create table reviews (
    review_id int not null,
    title_id varchar(6) not null,
    reviewer varchar(40) null,
    stars tinyint not null,
    reviewed datetime null
)
go
create unique clustered index reviewind on reviews (review_id)
go
insert reviews values (1, "BU1032", "The Shelfside Quarterly", 4, "Apr 20 1987")
insert reviews values (2, "PC8888", "Ridgeline Reader", 5, "Apr 2 1988")
go
create trigger reviewtrig on reviews for insert
as
if exists (select 1 from inserted where stars > 5)
    rollback transaction
go
execute sp_dropuser bob
go
execute sp_adduser carol
go
